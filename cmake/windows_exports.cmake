# Export lists of the Windows DLL, worked out from the public header.
#
#   cmake -DSTEP=refs -DHEADER=vemkasdk.h -DOUT=refs.c -P windows_exports.cmake
#     writes a C file that takes the address of every function the header
#     declares; compiled for the target, its object names each function as
#     the compiler calls it (stdcall names end in @<argument bytes> on 32-bit
#     Windows).
#   cmake -DSTEP=def -DNM=nm -DOBJECT=refs.obj -DOUT=VemkaSDK.def -P ...
#     writes the .def file with those names. The DLL is linked with it and
#     --kill-at, so every export carries its plain name; dlltool -k turns the
#     same file into an import library whose entries carry the decorated
#     names C callers link against.
cmake_minimum_required(VERSION 3.25)

if(STEP STREQUAL "refs")
  file(READ "${HEADER}" text)
  string(REGEX MATCHALL "VEMKA_CALL[ \t\n*]*VemkaSDK_[A-Za-z0-9_]+\\(" calls "${text}")
  set(names)
  foreach(call IN LISTS calls)
    string(REGEX MATCH "VemkaSDK_[A-Za-z0-9_]+" name "${call}")
    list(APPEND names ${name})
  endforeach()
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  set(body "/* Generated from the public header: one reference per export. */\n#include \"vemkasdk.h\"\n")
  string(APPEND body "const void *const vemka_export_refs[] = {\n")
  foreach(name IN LISTS names)
    string(APPEND body "  (const void *)&${name},\n")
  endforeach()
  string(APPEND body "};\n")
  file(WRITE "${OUT}.tmp" "${body}")
  file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUT}.tmp")
elseif(STEP STREQUAL "def")
  execute_process(COMMAND "${NM}" --undefined-only "${OBJECT}" OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${OBJECT}")
  endif()
  string(REGEX MATCHALL "VemkaSDK_[A-Za-z0-9_]+(@[0-9]+)?" found "${symbols}")
  list(REMOVE_DUPLICATES found)
  list(SORT found)
  set(body "LIBRARY VemkaSDK.dll\nEXPORTS\n")
  foreach(name IN LISTS found)
    string(APPEND body "  ${name}\n")
  endforeach()
  file(WRITE "${OUT}" "${body}")
else()
  message(FATAL_ERROR "windows_exports.cmake: unknown STEP '${STEP}'")
endif()
