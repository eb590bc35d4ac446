// The records the text pages are measured on: name----account----password----city lines
// in GBK, CR LF ended, every third one a repeat of an earlier one. Deterministic: the same
// bytes on every machine and library.
#ifndef LANZHOU_BENCH_TEXT_PAGES_RECORDS_H_
#define LANZHOU_BENCH_TEXT_PAGES_RECORDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "text/encoding.h"

namespace lanzhou {

// A fixed 64-bit LCG: the same records on every machine and library.
class Lcg {
 public:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }

 private:
  std::uint64_t state_ = 20150304;
};

// name----account----password----city, e.g. 欧阳明华----138004211234----k3Jx9q2ZpW----北京市
// (48 to 56 bytes); every third record repeats an earlier one.
inline std::string GbkRecords(int count) {
  const std::vector<std::string> surnames = {FromUtf8("张").bytes(),   FromUtf8("王").bytes(),
                                             FromUtf8("李").bytes(),   FromUtf8("赵").bytes(),
                                             FromUtf8("欧阳").bytes(), FromUtf8("刘").bytes()};
  const std::vector<std::string> given = {FromUtf8("明").bytes(), FromUtf8("华").bytes(),
                                          FromUtf8("伟").bytes(), FromUtf8("芳").bytes(),
                                          FromUtf8("說").bytes(), FromUtf8("静").bytes(),
                                          FromUtf8("强").bytes(), FromUtf8("丽").bytes()};
  const std::vector<std::string> cities = {FromUtf8("北京市").bytes(), FromUtf8("上海市").bytes(),
                                           FromUtf8("兰州市").bytes(), FromUtf8("广州市").bytes(),
                                           FromUtf8("乌鲁木齐市").bytes()};
  const char alphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  Lcg random;
  std::vector<std::size_t> starts;  // where each record begins, for the repeats
  std::string out;
  out.reserve(56ull * count);
  for (int i = 0; i < count; ++i) {
    const std::size_t start = out.size();
    if (i % 3 == 2) {
      const std::size_t k = random.Below(static_cast<std::uint32_t>(starts.size()));
      const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : start;
      out.append(out, starts[k], end - starts[k]);  // includes its CR LF
    } else {
      out += surnames[random.Below(surnames.size())];
      for (int n = 1 + static_cast<int>(random.Below(2)); n > 0; --n) {
        out += given[random.Below(given.size())];
      }
      out += "----1";
      for (int d = 0; d < 11; ++d) out += static_cast<char>('0' + random.Below(10));
      out += "----";
      for (int c = 0; c < 10; ++c) out += alphabet[random.Below(sizeof alphabet - 1)];
      out += "----";
      out += cities[random.Below(cities.size())];
      out += "\r\n";
    }
    starts.push_back(start);
  }
  return out;
}

}  // namespace lanzhou

#endif  // LANZHOU_BENCH_TEXT_PAGES_RECORDS_H_
