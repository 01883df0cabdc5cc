/* A plain C host: downloads a PLU file to one scale and prints the progress.
 * Builds for Linux (link with -lvemkasdk) and for Windows (link with the
 * import library libVemkaSDK.dll.a, or load VemkaSDK.dll by name).
 *
 *   host 192.168.1.87 plu.txt?65001
 *
 * The file name may end in "?<code page>" (65001 = UTF-8). Exits 0 when the
 * scale took every row. */
#include <stdio.h>
#include <stdlib.h>

#include "vemkasdk.h"

struct progress {
  uint32_t last_code;
  uint32_t rows;
};

/* Runs on the task's thread: 1 = progress, 0 = done, anything else = failure. */
static void VEMKA_CALL on_progress(uint32_t code, uint32_t index, uint32_t total, void *user) {
  struct progress *p = (struct progress *)user;
  p->last_code = code;
  if (code == VKSDK_PROGRESS) {
    p->rows = index;
    if (index == total || index % 100 == 0) printf("  %u/%u\n", index, total);
  } else if (code == VKSDK_OK) {
    printf("done, %u rows\n", total);
  } else {
    printf("failed with code %u after %u rows\n", code, index);
  }
  fflush(stdout);
}

/* "a.b.c.d" to the packed address (first part most significant); 0 on error. */
static uint32_t parse_address(const char *text) {
  unsigned a, b, c, d;
  char tail;
  if (sscanf(text, "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 || d > 255)
    return 0;
  return (a << 24) | (b << 16) | (c << 8) | d;
}

int main(int argc, char **argv) {
  struct progress p = {0xFFFFFFFFu, 0};
  uint32_t addr;
  VKSDK_TASK task;
  if (argc != 3 || (addr = parse_address(argv[1])) == 0) {
    fprintf(stderr, "usage: %s SCALE-ADDRESS PLU-FILE\n", argv[0]);
    return 2;
  }
  VemkaSDK_Initialize(NULL);
  /* Protocol 0 = detect the scale's family; packed 0x00 = download (ProcType
     0) of DataID 0; data type 0 = PLU; 5002 is the port Hecr scales answer on. */
  task = VemkaSDK_ExecTaskA(addr, 5002, 0, 0x00, 0, argv[2], on_progress, &p);
  if (task != VKSDK_INVALID_TASK) VemkaSDK_WaitForTask(task);
  VemkaSDK_Finalize();
  return p.last_code == VKSDK_OK ? 0 : 1;
}
