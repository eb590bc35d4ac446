#!/usr/bin/env python3
"""Deterministic Chinese free text with known embedded items, for bench/find_filter.sh.

  find_corpus.py DIR [MEGABYTES]

Writes into DIR (MEGABYTES of text, default 100):
  text.gbk        lines of Chinese free text (GBK, CR LF): names, addresses, dates, prices,
                  order numbers, and mobile numbers in every grouping (+86, 86-, 3-4-4 with
                  blanks or hyphens, full-width digits, ideographic spaces), QQ numbers,
                  e-mail addresses (Chinese domains and full-width forms too), resident ID
                  numbers and links; beside them near misses that must not be found: mobile
                  numbers inside order numbers, ID numbers with a wrong check character or
                  an impossible birth date, 12-digit runs, decimals
  expected_all.gbk    what `find --phone --email --qq --id --url` must write
  expected_phone.gbk  what `find --phone` must write
  text.utf8       the text in UTF-8, for the tools that read UTF-8
  keywords.gbk, keywords.utf8   10,000 keywords, one a line (LF)
"""
import os
import random
import sys

SURNAMES = "王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗梁宋郑谢韩唐冯于董萧程曹袁邓许傅沈曾彭吕苏卢蒋蔡"
GIVEN = "伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚桂华建国玉红文斌志鹏辉俊峰晨宇浩然欣怡"
PLACES = ["北京市朝阳区建国路", "上海市浦东新区世纪大道", "广州市天河区体育西路", "深圳市南山区科技园",
          "杭州市西湖区文三路", "成都市武侯区人民南路", "兰州市城关区庆阳路", "武汉市洪山区珞喻路"]
WORDS = ["您好", "请联系", "收货人", "地址", "备注", "谢谢", "已付款", "尽快发货", "客服", "电话",
         "联系方式", "订单", "退款", "售后", "咨询", "周末", "工作日", "快递", "包裹", "签收",
         "发票", "开具", "公司", "名称", "微信", "同号", "邮箱", "身份证", "号码", "网址", "详见",
         "今天", "明天", "下午", "上午", "晚上", "价格", "优惠", "活动", "报名", "参加", "会员"]
FULL = str.maketrans("0123456789abcdefghijklmnopqrstuvwxyz@.+-", "０１２３４５６７８９ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ＠．＋－")
WEIGHTS = [7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2]
AREAS = ["110105", "310115", "440106", "440305", "330106", "510107", "620102", "420111"]


def name(r):
    return r.choice(SURNAMES) + "".join(r.choice(GIVEN) for _ in range(r.randint(1, 2)))


def filler(r):
    return "".join(r.choice(WORDS) for _ in range(r.randint(1, 4)))


def mobile(r):
    return "1" + r.choice("3456789") + "".join(r.choice("0123456789") for _ in range(9))


def written_mobile(r, m):
    form = r.randrange(9)
    if form == 0:
        return m
    if form == 1:
        return "+86" + m
    if form == 2:
        return "+86 " + m[:3] + " " + m[3:7] + " " + m[7:]
    if form == 3:
        return "86-" + m[:3] + "-" + m[3:7] + "-" + m[7:]
    if form == 4:
        return m[:3] + "-" + m[3:7] + "-" + m[7:]
    if form == 5:
        return m[:3] + " " + m[3:7] + " " + m[7:]
    if form == 6:
        return m.translate(FULL)
    if form == 7:
        return ("+86 " + m[:3] + "-" + m[3:7] + "-" + m[7:]).translate(FULL)
    return m[:3] + "\u3000" + m[3:7] + "\u3000" + m[7:]


def qq(r):
    return str(r.randint(1, 9)) + "".join(r.choice("0123456789") for _ in range(r.randint(4, 9)))


def check_char(first17):
    return "10X98765432"[sum(int(c) * w for c, w in zip(first17, WEIGHTS)) % 11]


def resident_id(r, good=True):
    year = r.randint(1950, 2005)
    month = r.randint(1, 12)
    day = r.randint(1, 28)
    first = r.choice(AREAS) + "%04d%02d%02d" % (year, month, day) + "%03d" % r.randint(0, 999)
    right = check_char(first)
    if good:
        return first + right
    if r.random() < 0.5:
        return first + r.choice([c for c in "0123456789X" if c != right])
    # 30 February with the check character right for it
    bad = first[:10] + "0230" + first[14:]
    return bad + check_char(bad)


def email(r):
    user = r.choice(["zhang", "li.ming", "wang_fang", "chen+shop", "liu-yang", "service"])
    user += str(r.randint(1, 99)) if r.random() < 0.5 else ""
    kind = r.randrange(5)
    if kind == 0:
        return user + "@" + r.choice(["163.com", "126.com", "sina.com.cn", "example.com"]), None
    if kind == 1:
        return user + "@" + r.choice(["例子.中国", "公司.网络", "示例.公司"]), None
    if kind == 2:
        e = user + "@" + r.choice(["163.com", "example.cn"])
        return e.translate(FULL), e
    number = qq(r)
    return number + "@qq.com", None


def url(r):
    path = r.choice(["", "/", "/item/a?id=42", "/list.html?page=3&sort=new", "/s/ab_cd#top"])
    return r.choice(["http", "https"]) + "://" + r.choice(["www.example.com", "shop.example.cn",
                                                          "example.org"]) + path


def line(r, found, phones):
    parts = [name(r), "，"]
    for _ in range(r.randint(1, 3)):
        kind = r.randrange(10)
        parts.append(filler(r))
        if kind == 0:
            m = mobile(r)
            parts.append(written_mobile(r, m))
            found.append(m)
            phones.append(m)
        elif kind == 1:
            number = qq(r)
            parts.append(r.choice(["QQ:", "QQ号", "扣扣 ", "qq"]) + number)
            found.append(number)
        elif kind == 2:
            e, folded = email(r)
            parts.append(e)
            found.append(folded or e)
            if e.endswith("@qq.com"):
                found.append(e.split("@")[0])
        elif kind == 3:
            i = resident_id(r)
            if r.random() < 0.2:
                i = i.lower()
            parts.append(i)
            found.append(i.upper())
        elif kind == 4:
            u = url(r)
            parts.append(u)
            found.append(u)
        elif kind == 5:  # near misses
            parts.append(r.choice([
                "订单号" + str(r.randint(10, 99)) + mobile(r) + str(r.randint(100, 999)),
                "单号ORD" + mobile(r),
                "编号" + "".join(r.choice("0123456789") for _ in range(12)),
                resident_id(r, good=False),
                "共计" + str(r.randint(10000, 99999)) + "." + str(r.randint(10, 99)) + "元",
            ]))
        elif kind == 6:
            parts.append("%d年%d月%d日" % (r.randint(2000, 2030), r.randint(1, 12), r.randint(1, 28)))
        elif kind == 7:
            parts.append(r.choice(PLACES) + str(r.randint(1, 999)) + "号")
        elif kind == 8:
            parts.append("价格" + str(r.randint(1, 9999)) + "元")
        parts.append(r.choice(["，", "。", "；", " ", "、"]))
    parts.append(filler(r) + "。")
    return "".join(parts)


def main():
    out = sys.argv[1]
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    os.makedirs(out, exist_ok=True)
    r = random.Random(24)
    limit = megabytes * 1024 * 1024
    size = 0
    lines, found, phones = [], [], []
    while size < limit:
        text = line(r, found, phones)
        lines.append(text)
        size += len(text.encode("gbk")) + 2
    text = "\r\n".join(lines) + "\r\n"
    with open(os.path.join(out, "text.gbk"), "wb") as f:
        f.write(text.encode("gbk"))
    with open(os.path.join(out, "text.utf8"), "wb") as f:
        f.write(text.encode("utf-8"))
    with open(os.path.join(out, "expected_all.gbk"), "wb") as f:
        f.write("\r\n".join(found).encode("gbk"))
    with open(os.path.join(out, "expected_phone.gbk"), "wb") as f:
        f.write("\r\n".join(phones).encode("gbk"))
    # Keywords: words of the text and names that may or may not occur, some ASCII.
    k = random.Random(7)
    keywords = set()
    while len(keywords) < 10000:
        choice = k.randrange(4)
        if choice == 0:
            keywords.add(name(k) + k.choice(GIVEN))
        elif choice == 1:
            keywords.add(k.choice(WORDS) + k.choice(GIVEN) + k.choice(SURNAMES))
        elif choice == 2:
            keywords.add("".join(k.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(k.randint(5, 8))))
        else:
            keywords.add(k.choice(PLACES)[:k.randint(3, 6)] + str(k.randint(100, 999)))
    keywords = "\n".join(sorted(keywords)) + "\n"
    with open(os.path.join(out, "keywords.gbk"), "wb") as f:
        f.write(keywords.encode("gbk"))
    with open(os.path.join(out, "keywords.utf8"), "wb") as f:
        f.write(keywords.encode("utf-8"))
    print("%d lines, %d items, %d phone numbers" % (len(lines), len(found), len(phones)))


if __name__ == "__main__":
    main()
