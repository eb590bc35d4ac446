#include "json/writers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "json/json_handle.h"
#include "text/dates.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"gb2312\"?>";

class WriterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (doc_.root() != nullptr) {
      JsonHandle root;
      root.Attach(doc_.root(), doc_.root());
      root.Remove(true, false);
    }
  }
  JsonHandle doc_;
};

TEST(JsonEscaping, EscapesByTheTable) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"q\"s/l\n", "q\\\"s\\/l\\n"},
      {"\b\f\r\t\\", "\\b\\f\\r\\t\\\\"},
      {"\x01\x7f", "\x01\x7f"},  // other control bytes stay
      {"\xD6\xD0", "\xD6\xD0"},  // a double-byte character
      {"\x81\\x", "\x81\\x"},    // its second byte is not a backslash to double
      {"\x81\x2F", "\x81\x2F"},  // nor a slash
      {"end\x81", "end\x81"},    // a lone lead byte at the end
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    AppendJsonEscaped(out, c.in);
    EXPECT_EQ(out, "<" + c.out) << c.in;
  }
}

TEST(XmlEscaping, EscapesByTheTable) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"<a & 'b' \"c\">", "&lt;a &amp; &apos;b&apos; &quot;c&quot;&gt;"},
      {"\x81<", "\x81<"},
      {"\xD6\xD0&", "\xD6\xD0&amp;"},
      {"/\n", "/\n"},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendXmlEscaped(out, c.in);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

// The writers' numbers must be the bytes of the exact "%.*g" path, whichever way they take.
std::string RealGeneral(double value, int precision) {
  std::string out;
  AppendRealGeneral(out, value, precision);
  return out;
}
std::string ExactGeneral(double value, int precision) {
  std::string out;
  AppendGeneral(out, value, precision);
  return out;
}

TEST(RealGeneral, EdgeCasesMatchTheExactPath) {
  struct Case {
    double value;
    int precision;
    const char* out;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0.1, 13, "0.1"},
      {1.0 / 3, 13, "0.3333333333333"},
      {-2.0 / 3, 13, "-0.6666666666667"},
      {0.0, 13, "0"},
      {-0.0, 13, "-0"},
      {-0.0, 6, "-0"},
      {1e20, 13, "1e+20"},
      {1e-5, 13, "1e-05"},
      {1e-4, 13, "0.0001"},
      {0.000123456789, 6, "0.000123457"},
      {1e13, 13, "1e+13"},
      {9999999999999.0, 13, "9999999999999"},
      {99999999999999.0, 13, "1e+14"},  // rounds up into the next power
      {999999.5, 6, "1e+06"},           // exactly halfway: to even, which carries
      {123456789012345.0, 13, "1.234567890123e+14"},
      {1e300, 13, "1e+300"},
      {-1.5e-300, 13, "-1.5e-300"},
      {2.5, 1, "2"},  // exact ties round to even
      {3.5, 1, "4"},
      {0.125, 2, "0.12"},
      {0.375, 2, "0.38"},
      {1.0000000000005, 14, "1.0000000000005"},
      {DBL_MAX, 13, "1.797693134862e+308"},
      {DBL_MIN, 13, "2.225073858507e-308"},
      {5e-324, 13, "4.940656458412e-324"},  // subnormal
      {static_cast<double>(1.1f), 6, "1.1"},
      {static_cast<double>(124.875f), 6, "124.875"},
      {static_cast<double>(16777217.0f), 6, "1.67772e+07"},
      {static_cast<double>(FLT_MIN), 6, "1.17549e-38"},
      {12345678.0, 17, "12345678"},
      {inf, 13, "inf"},
      {-inf, 13, "-inf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RealGeneral(c.value, c.precision), c.out) << c.value << " %." << c.precision;
    EXPECT_EQ(ExactGeneral(c.value, c.precision), c.out) << c.value << " %." << c.precision;
  }
  EXPECT_EQ(RealGeneral(std::nan(""), 13), ExactGeneral(std::nan(""), 13));
}

// Random doubles across the decimal exponents the scaling covers and beyond, floats as the
// writer widens them, and values on or next to a halfway point between two roundings.
TEST(RealGeneral, RandomValuesMatchTheExactPath) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> mantissa(1, 10);
  std::uniform_int_distribution<int> power(-40, 60);
  std::uniform_int_distribution<std::uint32_t> float_bits(0x00800000u, 0x7F7FFFFFu);
  std::uniform_int_distribution<std::int64_t> integer(1, 99999999999999);
  for (int i = 0; i < 40000; ++i) {
    const int precision = 1 + static_cast<int>(random() % 17);
    const double plain = mantissa(random) * std::pow(10.0, power(random));
    const double halfway = (static_cast<double>(integer(random)) + 0.5) / std::pow(10.0, i % 16);
    const double nudged = std::nextafter(halfway, i % 2 ? 0.0 : 1e300);
    for (double value : {plain, -plain, halfway, nudged}) {
      ASSERT_EQ(RealGeneral(value, precision), ExactGeneral(value, precision))
          << value << " %." << precision;
    }
    const float single = std::bit_cast<float>(float_bits(random));
    ASSERT_EQ(RealGeneral(single, 6), ExactGeneral(single, 6)) << single;
    ASSERT_EQ(RealGeneral(i * 0.37 + 0.001, 13), ExactGeneral(i * 0.37 + 0.001, 13)) << i;
  }
}

TEST_F(WriterTest, ObjectAndMemberJson) {
  doc_.Member("name").TextValue("abc", true);
  doc_.Member("n").IntValue(5, true);
  EXPECT_EQ(doc_.ToJson(), Text("{\"name\":\"abc\",\"n\":5}"));
  EXPECT_EQ(doc_.Member("n").ToJson(), Text("{\"n\":5}"));
}

TEST_F(WriterTest, EveryKindInJsonAndXml) {
  const DateTime when = MakeTime(2015, 6, 1, 8, 30, 0);
  doc_.Member("null");
  JsonScalar byte = std::uint8_t{255}, shrt = std::int16_t{-300};
  doc_.Member("byte").SetAs(kJsonByte, &byte);
  doc_.Member("short").SetAs(kJsonShort, &shrt);
  doc_.Member("int").IntValue(-12, true);
  doc_.Member("long").LongValue(-(1LL << 40), true);
  doc_.Member("float").FloatValue(1.1f, true);
  doc_.Member("double").DoubleValue(1.0 / 3, true);
  doc_.Member("bool").BoolValue(true, true);
  doc_.Member("date").DateValue(when, true);
  doc_.Member("text").TextValue(FromUtf8("中\"/\n"), true);
  doc_.Member("none").TextValue("", true);
  doc_.Member("literal").TextValue("1e3", true);
  doc_.Member("literal").node()->kind = kJsonLiteral1;
  doc_.Member("array").Index(3).TextValue("z", true);
  doc_.Member("array").Index(1).TextValue("x", true);
  doc_.Member("empty_array").Index(1).Remove(true, false);
  doc_.Member("object").Member("k").BoolValue(false, true);
  doc_.Member("empty_object").Member("gone").Remove(true, false);

  EXPECT_EQ(doc_.ToJson(),
            Text("{\"null\":null,\"byte\":255,\"short\":-300,\"int\":-12,\"long\":-1099511627776,"
                 "\"float\":1.1,\"double\":0.3333333333333,\"bool\":true,"
                 "\"date\":'2015-06-01T08:30:00Z',\"text\":\"" +
                 FromUtf8("中").bytes() +
                 "\\\"\\/\\n\",\"none\":\"\",\"literal\":1e3,\"array\":[\"x\",null,\"z\"],"
                 "\"empty_array\":null,\"object\":{\"k\":false},\"empty_object\":{}}"));

  const std::string expected_xml = std::string(kDeclaration) +
                                   "\r\n<item>"
                                   "\r\n\t<null>null</null>"
                                   "\r\n\t<byte>255</byte>"
                                   "\r\n\t<short>-300</short>"
                                   "\r\n\t<int>-12</int>"
                                   "\r\n\t<long>-1099511627776</long>"
                                   "\r\n\t<float>1.1</float>"
                                   "\r\n\t<double>0.3333333333333</double>"
                                   "\r\n\t<bool>true</bool>"
                                   "\r\n\t<date>2015-06-01T08:30:00Z</date>"
                                   "\r\n\t<text>" +
                                   FromUtf8("中").bytes() +
                                   "&quot;/\n</text>"
                                   "\r\n\t<none></none>"
                                   "\r\n\t<literal>1e3</literal>"
                                   "\r\n\t<array>"
                                   "\r\n\t\t<item>x</item>"
                                   "\r\n\t\t<item></item>"
                                   "\r\n\t\t<item>z</item>"
                                   "\r\n\t</array>"
                                   "\r\n\t<empty_array></empty_array>"
                                   "\r\n\t<object>"
                                   "\r\n\t\t<k>false</k>"
                                   "\r\n\t</object>"
                                   "\r\n\t<empty_object></empty_object>"
                                   "\r\n</item>";
  EXPECT_EQ(doc_.ToXml().bytes(), expected_xml);
}

TEST_F(WriterTest, JsonOfArraysAndEmptySlots) {
  EXPECT_EQ(doc_.ToJson(), Text("null"));
  doc_.Index(1).Remove(true, false);
  EXPECT_EQ(doc_.ToJson(), Text("null"));  // an empty array
  doc_.Index(3).TextValue("z", true);
  doc_.Index(1).TextValue("x", true);
  EXPECT_EQ(doc_.ToJson(), Text("[\"x\",null,\"z\"]"));
  EXPECT_EQ(doc_.Index(3).ToJson(), Text("\"z\""));  // an element has no key prefix
}

TEST_F(WriterTest, KeysAreEscapedInJson) {
  doc_.Member("a\"b\\c").IntValue(1, true);
  EXPECT_EQ(doc_.ToJson(), Text("{\"a\\\"b\\\\c\":1}"));
}

// What the writer escapes reads back unchanged through a standard JSON reader.
TEST_F(WriterTest, JsonReadsBackThroughAStandardReader) {
  const std::string texts[] = {"q\"s/l\\", "\b\f\n\r\t", "a</b>", ""};
  nlohmann::json expected;
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    const std::string key = "k\"\\" + std::to_string(i);
    doc_.Member(Text(key)).TextValue(Text(texts[i]), true);
    expected[key] = texts[i];
  }
  doc_.Member("n").LongValue(-(1LL << 40), true);
  doc_.Member("list").Index(3).DoubleValue(0.25, true);
  doc_.Member("list").Index(1).Member("b").BoolValue(false, true);
  expected["n"] = -(1LL << 40);
  expected["list"] = {{{"b", false}}, nullptr, 0.25};
  EXPECT_EQ(nlohmann::json::parse(doc_.ToJson().bytes()), expected);
}

TEST_F(WriterTest, XmlExampleAndArguments) {
  doc_.Member("a").IntValue(1, true);
  doc_.Member("b").Index(1).TextValue("x", true);
  doc_.Member("b").Index(2).TextValue("y", true);
  EXPECT_EQ(doc_.ToXml().bytes(), std::string(kDeclaration) +
                                      "\r\n<item>\r\n\t<a>1</a>\r\n\t<b>\r\n\t\t<item>x</item>"
                                      "\r\n\t\t<item>y</item>\r\n\t</b>\r\n</item>");
  EXPECT_EQ(doc_.ToXml(Text("r"), Text("utf-8"), Text("\n"), Text("  ")).bytes(),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r>\n  <a>1</a>\n  <b>\n    <r>x</r>"
            "\n    <r>y</r>\n  </b>\n</r>");
  EXPECT_EQ(doc_.ToXml(Text(""), Text(""), Text(""), Text("")).bytes(),
            "<?xml version=\"1.0\" encoding=\"\"?><><a>1</a><b><>x</><>y</></b></>");
}

TEST_F(WriterTest, XmlOfEmptyThings) {
  EXPECT_EQ(doc_.ToXml().bytes(), std::string(kDeclaration) + "\r\n<item></item>");
  doc_.Member("x").Remove(true, false);
  EXPECT_EQ(doc_.ToXml().bytes(), std::string(kDeclaration) + "\r\n<item></item>");
}

TEST_F(WriterTest, QueryTextOfObjectsAndArrays) {
  doc_.Member("k1").IntValue(1, true);
  doc_.Member("k2").TextValue("", true);
  doc_.Member("k3").TextValue("x", true);
  doc_.Member("k4").Member("nested");  // an object has no text
  EXPECT_EQ(doc_.ToQueryText("&"), Text("k1=1&k3=x"));
  EXPECT_EQ(doc_.ToQueryText("&", std::nullopt, true), Text("k1=1&k2=&k3=x&k4="));
  EXPECT_EQ(doc_.ToQueryText("; ", Text(": ")), Text("k1: 1; k3: x"));
  EXPECT_EQ(doc_.Member("k1").ToQueryText("&"), Text());

  JsonHandle list;
  list.Index(1).TextValue("x", true);
  list.Index(3).TextValue("", true);
  list.Index(4).TextValue("y", true);
  list.Index(5).TextValue(
      "\x1A"
      "after",
      true);  // kept whole
  EXPECT_EQ(list.ToQueryText(","), Text("x,y,\x1A"
                                        "after"));
  list.Remove(true, false);
}

}  // namespace
}  // namespace lanzhou
