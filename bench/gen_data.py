#!/usr/bin/env python3
"""Deterministic GBK test data for bench/compare.sh.

Writes into the directory given as the first argument:
  records.txt   1,000,000 records "account----password|name|city|phone", CR LF, about 50 MB;
                a third of them repeat an earlier record
  list_a.txt    1,000,000 lines of e-mail addresses, LF
  list_b.txt    1,000,000 lines of Chinese names with a phone number, LF
  prose.txt     about 20 MB of mixed Chinese and ASCII text with punctuation, paragraphs
                ended by CR LF
  ascii.txt     1 MB of letters and digits on one line, without spaces (the one text where
                byte-wise folding and wrapping compute the same thing)

Every Chinese character used is in GB2312, so no second byte is an ASCII character and the
byte-wise standard tools split the same fields as the program does.
"""
import os
import random
import sys

RECORDS = 1_000_000
LIST_LINES = 1_000_000
PROSE_BYTES = 20 * 1024 * 1024
ASCII_BYTES = 1024 * 1024

SURNAMES = "王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗梁宋郑谢韩唐冯于董萧程曹袁邓许傅沈曾彭吕苏卢蒋蔡贾丁魏薛叶阎余潘杜戴夏钟汪田任姜范方石姚谭廖邹熊金陆郝孔白崔康毛邱秦江史顾侯邵孟龙万段雷钱汤尹黎易常武乔贺赖龚文"
GIVEN = "伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚桂华建国玉红文斌志鹏辉俊峰晨宇浩然欣怡子涵梓萱雨轩佳琪思远嘉怡梦婷海燕冬梅春生秋菊"
CITIES = ["北京市朝阳区", "上海市浦东区", "广州市天河区", "深圳市南山区", "杭州市西湖区",
          "成都市武侯区", "兰州市城关区", "武汉市洪山区", "西安市雁塔区", "南京市鼓楼区",
          "重庆市渝中区", "天津市和平区"]
WORDS_ZH = ["我们", "今天", "天气", "很好", "学习", "数据", "处理", "文本", "工具", "中文",
            "字符", "每一行", "兰州", "黄河", "铁桥", "牛肉面", "读书", "写字", "电脑", "程序",
            "软件", "文件", "目录", "朋友", "时间", "世界", "问题", "方法", "结果", "开始"]
WORDS_EN = ["data", "text", "line", "wrap", "GBK", "Linux", "file", "width", "byte", "hello",
            "world", "abc", "x86", "2026", "OK", "email", "test@example.com", "C++", "Qt6"]
OPENING = ["“", "《", "（", "‘", "〈"]
CLOSING = {"“": "”", "《": "》", "（": "）", "‘": "’", "〈": "〉"}
SENTENCE_END = ["。", "？", "！", "；", "："]
PAUSE = ["，", "、", ",", " "]
LETTERS = "abcdefghijklmnopqrstuvwxyz"
ALNUM = LETTERS + "0123456789"


def gbk(text):
    return text.encode("gbk")


def check_gb2312(chars):
    for ch in chars:
        b = gbk(ch)
        assert len(b) == 2 and b[0] >= 0xA1 and b[1] >= 0xA1, ch


def records(rng):
    uniques = []
    out = []
    for i in range(RECORDS):
        if uniques and rng.random() < 1 / 3:
            out.append(uniques[rng.randrange(len(uniques))])
            continue
        account = "".join(rng.choice(LETTERS) for _ in range(3)) + str(100000 + len(uniques))
        password = "".join(rng.choice(ALNUM) for _ in range(8))
        name = rng.choice(SURNAMES) + "".join(rng.choice(GIVEN) for _ in range(rng.randint(1, 2)))
        phone = "1" + str(rng.randint(3000000000, 9999999999))
        record = gbk(f"{account}----{password}|{name}|{rng.choice(CITIES)}|{phone}")
        uniques.append(record)
        out.append(record)
    return b"\r\n".join(out) + b"\r\n"


def lists(rng):
    a = []
    b = []
    for i in range(LIST_LINES):
        a.append(f"{''.join(rng.choice(LETTERS) for _ in range(5))}{i}@example.com".encode())
        name = rng.choice(SURNAMES) + "".join(rng.choice(GIVEN) for _ in range(rng.randint(1, 2)))
        b.append(gbk(name) + b" 1" + str(rng.randint(3000000000, 9999999999)).encode())
    return b"\n".join(a) + b"\n", b"\n".join(b) + b"\n"


def sentence(rng):
    parts = []
    for _ in range(rng.randint(4, 14)):
        r = rng.random()
        if r < 0.6:
            parts.append(rng.choice(WORDS_ZH))
        elif r < 0.8:
            parts.append(" " + rng.choice(WORDS_EN) + " ")
        elif r < 0.9:
            mark = rng.choice(OPENING)
            parts.append(mark + rng.choice(WORDS_ZH) + CLOSING[mark])
        else:
            parts.append(rng.choice(PAUSE))
    return "".join(parts) + rng.choice(SENTENCE_END)


def prose(rng):
    chunks = []
    size = 0
    while size < PROSE_BYTES:
        paragraph = gbk("".join(sentence(rng) for _ in range(rng.randint(3, 12)))) + b"\r\n"
        chunks.append(paragraph)
        size += len(paragraph)
    return b"".join(chunks)[:PROSE_BYTES].rsplit(b"\r\n", 1)[0] + b"\r\n"


def ascii_line(rng):
    return "".join(rng.choice(ALNUM) for _ in range(ASCII_BYTES)).encode()


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out_dir, exist_ok=True)
    check_gb2312(SURNAMES + GIVEN + "".join(CITIES) + "".join(WORDS_ZH))
    rng = random.Random(20260307)
    files = {"records.txt": records(rng)}
    files["list_a.txt"], files["list_b.txt"] = lists(rng)
    files["prose.txt"] = prose(rng)
    files["ascii.txt"] = ascii_line(rng)
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
