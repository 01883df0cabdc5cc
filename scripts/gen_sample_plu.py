#!/usr/bin/env python3
"""Writes the sample PLU table used by scripts/demo.sh (docs/samples/plu_sample.txt).

A few hundred articles with names in several scripts (Latin with accents,
Cyrillic, Greek, Chinese, Japanese, Korean), tab-separated, UTF-8 without a
byte-order mark, rows in no particular ID order. Every value is written in
the form the scale's upload gives back (prices without trailing zeros), so
a download followed by an upload reproduces each cell exactly. Names stay
within the 40 bytes of their fields.

    python3 scripts/gen_sample_plu.py [OUTPUT]
"""
import random
import sys

# (Name1, Name2) per article, grouped by language.
ARTICLES = {
    "fr": [("Pommes Golden", "Vallée du Rhône"), ("Poires Williams", "Récolte été"),
           ("Fromage affiné", "Crème fraîche"), ("Pâté de campagne", "Boucherie"),
           ("Brioche tressée", "Boulangerie"), ("Crêpes sucrées", "Épicerie"),
           ("Cerises", "Provençal"), ("Jambon sec", "Séché 12 mois")],
    "de": [("Äpfel Elstar", "Bodensee"), ("Weißwurst", "Metzgerei"),
           ("Käse gerieben", "Allgäu"), ("Brötchen", "Bäckerei"),
           ("Gurken süß-sauer", "Spreewald"), ("Rührkuchen", "Konditorei"),
           ("Möhren", "Öko-Anbau"), ("Leberkäse", "Frisch")],
    "es": [("Jamón ibérico", "Bellota"), ("Piña tropical", "Importación"),
           ("Aceitunas aliñadas", "Andalucía"), ("Queso manchego", "Curado"),
           ("Limones", "Región de Murcia"), ("Turrón de Jijona", "Artesanía"),
           ("Pimientos", "Del Bierzo"), ("Chorizo picante", "Embutidos")],
    "pl": [("Jabłka Ligol", "Sadownictwo"), ("Kiełbasa śląska", "Wędliny"),
           ("Ogórki kiszone", "Domowe"), ("Pączki z różą", "Cukiernia"),
           ("Twaróg półtłusty", "Nabiał"), ("Żurawina", "Suszona")],
    "vi": [("Cà phê sữa", "Đà Lạt"), ("Bánh mì", "Tươi mỗi ngày"),
           ("Nước mắm", "Phú Quốc"), ("Gạo thơm", "Sóc Trăng")],
    "ru": [("Яблоки", "Краснодар"), ("Сыр Российский", "Молочный"),
           ("Хлеб ржаной", "Пекарня"), ("Колбаса вареная", "Мясной"),
           ("Огурцы", "Тепличные"), ("Пельмени", "Замороженные"),
           ("Гречка", "Алтай"), ("Творог", "Фермерский")],
    "uk": [("Сало копчене", "Українське"), ("Вареники", "З вишнею"),
           ("Борошно", "Пшеничне")],
    "el": [("Φέτα", "Ήπειρος"), ("Ελιές Καλαμών", "Μεσσηνία"),
           ("Μέλι θυμαρίσιο", "Κρήτη"), ("Γιαούρτι", "Στραγγιστό")],
    "zh": [("红富士苹果", "山东烟台"), ("五花肉", "冷鲜"), ("大白菜", "本地"),
           ("鸡蛋", "散装"), ("香蕉", "海南"), ("豆腐", "北豆腐"),
           ("带鱼", "舟山冰鲜"), ("米饭", "熟食"), ("月饼", "广式"),
           ("龙井茶", "杭州"), ("葡萄", "新疆吐鲁番"), ("牛肉", "内蒙古")],
    "ja": [("りんご", "青森県産"), ("まぐろ刺身", "赤身"), ("豆腐", "絹ごし"),
           ("牛肉すき焼き用", "国産"), ("おにぎり", "鮭")],
    "ko": [("사과", "경북 청송"), ("김치", "포기김치"), ("한우 등심", "1등급"),
           ("떡볶이 떡", "쌀떡")],
}

HEADER = ["ID", "ItemCode", "DepartmentID", "GroupID", "Name1", "Name2", "UnitID", "Price",
          "MemberPrice", "BarcodeType1", "Label1ID", "FreshnessDate", "Tax1", "DiscountRate"]

ROWS = 300


def money(cents):
    """Cents as the scale gives them back: no trailing zeros, no lone point."""
    text = "%d.%02d" % divmod(cents, 100)
    return text.rstrip("0").rstrip(".")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "docs/samples/plu_sample.txt"
    rnd = random.Random(65001)
    pool = [(lang, a) for lang, items in ARTICLES.items() for a in items]
    ids = rnd.sample(range(1, 1000000), ROWS)
    rows = []
    for n, plu_id in enumerate(ids):
        lang, (name1, name2) = pool[n % len(pool)]
        if n >= len(pool):  # later rounds: same article, another pack size
            name1 = "%s %d" % (name1, 100 * (n // len(pool) + 1))
        for name in (name1, name2):
            assert len(name.encode("utf-8")) <= 40, name
        price = rnd.randrange(19, 20000)
        member = price - rnd.randrange(0, price // 10 + 1)
        rows.append([
            str(plu_id),
            str(rnd.randrange(1000000, 99999999)),
            str(rnd.randrange(1, 99)),
            str(rnd.randrange(1, 9999)),
            name1,
            name2,
            str(rnd.choice([0, 1, 4, 6])),
            money(price),
            money(member),
            str(rnd.choice([0, 1, 2, 7, 255])),
            str(rnd.randrange(1, 16)),
            str(rnd.randrange(0, 365)),
            money(rnd.choice([0, 500, 550, 700, 1000, 1900, 2000])),
            str(rnd.choice([0, 0, 0, 5, 10, 15, 25, 50])),
        ])
    with open(out, "w", encoding="utf-8", newline="") as f:
        f.write("\t".join(HEADER) + "\r\n")
        for r in rows:
            f.write("\t".join(r) + "\r\n")


if __name__ == "__main__":
    main()
