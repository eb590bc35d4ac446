// Simplified <-> Traditional Chinese for GB18030 text, through OpenCC's dictionaries.
//
// The text goes GB18030 -> UTF-8 -> OpenCC -> GB18030. Every character OpenCC can give has a
// GB18030 code, so nothing is lost on the way back; a line that is not valid GB18030 (a
// stray lead byte) is kept as it is rather than have its bad bytes become U+FFFD.
//
//   ScriptFold s2t;  s2t.Open("s2t", error);   s2t.Convert("发展") -> "發展" (GB18030)
//   ScriptFold t2s;  t2s.Open("t2s", error);   t2s.Convert("電話") -> "电话"
//
// One-to-many characters are decided by OpenCC's phrase tables (发 becomes 發 or 髮), so a
// text converts as OpenCC converts its UTF-8 form.
#ifndef LANZHOU_TEXT_SCRIPT_FOLD_H_
#define LANZHOU_TEXT_SCRIPT_FOLD_H_

#include <memory>
#include <string>
#include <string_view>

namespace opencc {
class SimpleConverter;
}

namespace lanzhou {

class ScriptFold {
 public:
  ScriptFold();
  ~ScriptFold();
  ScriptFold(ScriptFold&&) noexcept;
  ScriptFold& operator=(ScriptFold&&) noexcept;

  // Loads OpenCC's configuration `name`: "s2t", "t2s", "s2tw", "tw2s", "s2hk", "hk2s" or any
  // other it ships ("s2t.json" alike), or the path of a configuration file. False, with
  // `error` saying why in one line, when it cannot be loaded.
  bool Open(std::string_view name, std::string& error);
  bool is_open() const { return converter_ != nullptr; }

  // Appends `gb18030` converted to `out`. Safe to call from several threads at once. Lines
  // convert independently: OpenCC's phrases never span a line end.
  void Append(std::string_view gb18030, std::string& out) const;
  // Whether `gb18030` is converted whole: it is GB18030 throughout, or a line of it that is
  // not would be kept as it is.
  bool ConvertsWhole(std::string_view gb18030) const;
  std::string Convert(std::string_view gb18030) const;

 private:
  std::unique_ptr<opencc::SimpleConverter> converter_;
};

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_SCRIPT_FOLD_H_
