#include "pages/mask.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/finders.h"
#include "text/gbk_chars.h"
#include "text/normalize.h"
#include "text/text_primitives.h"
#include "ui/long_work.h"

namespace lanzhou {
namespace {

// Compound surnames kept whole in a masked name.
constexpr std::array<const char*, 30> kCompoundSurnames = {
    "欧阳", "司马", "上官", "诸葛", "东方", "皇甫", "尉迟", "公孙", "慕容", "长孙",
    "宇文", "司徒", "夏侯", "令狐", "端木", "独孤", "南宫", "西门", "轩辕", "呼延",
    "澹台", "公冶", "申屠", "太史", "闻人", "拓跋", "百里", "东郭", "万俟", "司空"};

bool StartsWithCompoundSurname(std::string_view name) {
  static const std::vector<std::string> kSurnames = [] {
    std::vector<std::string> out;
    for (const char* s : kCompoundSurnames) out.push_back(FromUtf8(s).bytes());
    return out;
  }();
  return std::any_of(kSurnames.begin(), kSurnames.end(),
                     [&](const std::string& s) { return name.starts_with(s); });
}

enum class Kind { kPhone, kId, kEmail, kBank, kName };

// One item of a line to mask: its bytes and how many of its characters stay at each end.
struct Edit {
  std::size_t begin;
  std::size_t end;
  Kind kind;
};

// The ASCII a character reads as (a full-width form as its ASCII), or 0 for another.
char AsciiOf(std::string_view line, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(line[at]);
  if (length == 1) return IsLeadByte(lead) ? 0 : static_cast<char>(lead);
  if (length == 2 && lead == 0xA3) {
    return HalfWidthOf(lead, static_cast<unsigned char>(line[at + 1]), true);
  }
  return 0;
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

class Masker {
 public:
  explicit Masker(const MaskChoice& choice)
      : choice_(choice),
        finders_(FinderChoice{.phone = choice.phone,
                              .email = choice.email,
                              .id = choice.id,
                              .old_id = choice.id,
                              .invalid_id = choice.id,
                              .bank = choice.bank}),
        mask_(choice.mask.empty() ? std::string("*") : choice.mask.bytes()) {
    const auto c = static_cast<unsigned char>(mask_[0]);
    wide_mask_ = mask_.size() == 1 && c > ' ' && c < 0x7F
                     ? std::string{static_cast<char>(0xA3), static_cast<char>(c + 0x80)}
                     : mask_;
  }

  // Appends `lines` (whole lines, line ends included) masked to `out`.
  void MaskLines(std::string_view lines, std::string& out, MaskCounts& counts) const {
    std::vector<FoundItem> items;
    std::vector<Edit> edits;
    while (!lines.empty()) {
      const std::size_t lf = lines.find('\n');
      const std::size_t next = lf == std::string_view::npos ? lines.size() : lf + 1;
      std::string_view line = lines.substr(0, lf == std::string_view::npos ? lines.size() : lf);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      MaskLine(line, items, edits, out, counts);
      out.append(lines.substr(line.size(), next - line.size()));
      lines.remove_prefix(next);
    }
  }

 private:
  void MaskLine(std::string_view line, std::vector<FoundItem>& items, std::vector<Edit>& edits,
                std::string& out, MaskCounts& counts) const {
    edits.clear();
    if (finders_.Any()) {
      finders_.FindInLine(line, items);
      for (const FoundItem& item : items) {
        const Kind kind = item.kind == FoundKind::kPhone   ? Kind::kPhone
                          : item.kind == FoundKind::kEmail ? Kind::kEmail
                          : item.kind == FoundKind::kBank  ? Kind::kBank
                                                           : Kind::kId;
        edits.push_back({item.begin, item.end, kind});
      }
    }
    if (choice_.name_field > 0) AddName(line, edits);
    // Of items that overlap (digits@qq.com is an address and holds a phone number; an ID
    // number may pass the Luhn check) the one that starts first, or is longer, is masked.
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
      return a.begin != b.begin ? a.begin < b.begin : a.end > b.end;
    });
    std::size_t at = 0;
    for (const Edit& edit : edits) {
      if (edit.begin < at) continue;
      out.append(line.substr(at, edit.begin - at));
      MaskItem(line.substr(edit.begin, edit.end - edit.begin), edit.kind, out);
      Count(edit.kind, counts);
      at = edit.end;
    }
    out.append(line.substr(at));
  }

  static void Count(Kind kind, MaskCounts& counts) {
    switch (kind) {
      case Kind::kPhone:
        ++counts.phone;
        break;
      case Kind::kId:
        ++counts.id;
        break;
      case Kind::kEmail:
        ++counts.email;
        break;
      case Kind::kBank:
        ++counts.bank;
        break;
      case Kind::kName:
        ++counts.name;
        break;
    }
  }

  // The name field of `line`, without blanks around it, when it has two characters or more.
  void AddName(std::string_view line, std::vector<Edit>& edits) const {
    int field = 0;
    ForEachMember(line, choice_.name_delimiter.view(), [&](std::string_view member) {
      if (++field < choice_.name_field) return true;
      std::size_t begin = static_cast<std::size_t>(member.data() - line.data());
      std::size_t end = begin + member.size();
      while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
      while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
      if (CharCount(line.substr(begin, end - begin)) >= 2)
        edits.push_back({begin, end, Kind::kName});
      return false;
    });
  }

  static std::size_t CharCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) ++n;
    return n;
  }

  // Whether a character counts among the kept and masked ones of an item of `kind` (the rest,
  // such as blanks and hyphens between groups, stays as it is).
  static bool Counts(Kind kind, char ascii) {
    switch (kind) {
      case Kind::kPhone:
      case Kind::kBank:
        return IsDigitChar(ascii);
      case Kind::kId:
        return IsDigitChar(ascii) || ascii == 'x' || ascii == 'X';
      case Kind::kEmail:
      case Kind::kName:
        return true;
    }
    return true;
  }

  void MaskItem(std::string_view item, Kind kind, std::string& out) const {
    std::size_t total = 0;  // the characters that count
    std::size_t end = item.size();
    if (kind == Kind::kEmail) {
      // The name before "@" (or "＠") alone.
      for (std::size_t i = 0; i < item.size(); i += CharLength(item, i)) {
        if (AsciiOf(item, i, CharLength(item, i)) == '@') {
          end = i;
          break;
        }
      }
    }
    for (std::size_t i = 0; i < end; i += CharLength(item, i)) {
      total += Counts(kind, AsciiOf(item, i, CharLength(item, i))) ? 1 : 0;
    }
    std::size_t head = 0;
    std::size_t tail = 0;
    std::size_t skip = 0;  // leading characters that count but are no part of the number
    switch (kind) {
      case Kind::kPhone:
        head = 3, tail = 4, skip = total - 11;  // +86
        break;
      case Kind::kId:
      case Kind::kBank:
        head = 6, tail = 4;
        break;
      case Kind::kEmail:
        head = 1;
        break;
      case Kind::kName:
        if (total == 2) {
          head = 1;
        } else if (StartsWithCompoundSurname(item) && total > 2) {
          head = 2;
        } else {
          head = 1, tail = 1;
        }
        break;
    }
    std::size_t k = 0;
    for (std::size_t i = 0; i < end;) {
      const std::size_t length = CharLength(item, i);
      const char ascii = AsciiOf(item, i, length);
      if (Counts(kind, ascii)) {
        const bool kept = k < skip + head || k >= total - tail;
        ++k;
        if (!kept) {
          const bool full_width = length == 2 && static_cast<unsigned char>(item[i]) == 0xA3;
          out += full_width ? wide_mask_ : mask_;
          i += length;
          continue;
        }
      }
      out.append(item.substr(i, length));
      i += length;
    }
    out.append(item.substr(end));
  }

  const MaskChoice& choice_;
  Finders finders_;
  std::string mask_;
  std::string wide_mask_;
};

}  // namespace

bool WriteMaskedText(std::string_view text, const MaskChoice& choice, int threads,
                     const std::function<bool(std::string_view)>& write, MaskCounts& counts,
                     const std::function<void(std::size_t, std::size_t)>& progress) {
  struct Masked {
    std::string bytes;
    MaskCounts counts;
  };
  const Masker masker(choice);
  return RunOverLines<Masked>(
      text, "\n", threads,
      [&](std::string_view lines, Masked& out) {
        out.bytes.clear();
        out.counts = MaskCounts();
        masker.MaskLines(lines, out.bytes, out.counts);
      },
      [&](TextPiece& piece, Masked& out) {
        counts.phone += out.counts.phone;
        counts.id += out.counts.id;
        counts.email += out.counts.email;
        counts.bank += out.counts.bank;
        counts.name += out.counts.name;
        if (progress) progress(piece.end, text.size());
        return write(out.bytes);
      });
}

Text MaskText(std::string_view text, const MaskChoice& choice, MaskCounts* counts) {
  Text out;
  MaskCounts ignored;
  WriteMaskedText(
      text, choice, DefaultThreadCount(),
      [&](std::string_view part) {
        out += part;
        return true;
      },
      counts != nullptr ? *counts : ignored);
  return out;
}

Text MaskCountsText(const MaskChoice& choice, const MaskCounts& counts) {
  Text out;
  auto add = [&](bool chosen, const char* name, std::size_t n) {
    if (!chosen) return;
    if (!out.empty()) out += FromUtf8("，");
    out += FromUtf8(name) + Text(std::to_string(n)) + FromUtf8(" 个");
  };
  add(choice.phone, "手机号 ", counts.phone);
  add(choice.id, "身份证号 ", counts.id);
  add(choice.email, "邮箱 ", counts.email);
  add(choice.bank, "银行卡号 ", counts.bank);
  add(choice.name_field > 0, "姓名 ", counts.name);
  return out;
}

void OnMaskClicked(Units& units) {
  const MaskChoice choice{.phone = true, .id = true, .email = true, .bank = true};
  const Text input = units.EditText(Unit::清洗_编辑框);
  if (RefuseEmptyInput(units, input)) return;
  ResultFile file = ChooseResultFile(units, FromUtf8("脱敏后_"));
  std::string result;
  MaskCounts counts;
  bool written = false;
  // The result box changes only once the work has run to its end, so a cancel changes nothing.
  if (!units.RunLongWork([&](WorkProgress& progress) {
        const auto step = [&](std::size_t done, std::size_t total) { progress.Step(done, total); };
        WriteMaskedText(
            input.view(), choice, DefaultThreadCount(),
            [&](std::string_view part) {
              result += part;
              return true;
            },
            counts, step);
        written = SaveResultFile(file, {Bytes(result)}, step);
      })) {
    ReportCancelled(units);
    return;
  }
  units.SetEditText(Unit::清洗后_编辑框, Text(std::move(result)));
  ReportSave(units, file, written, FromUtf8("脱敏完毕，已保存在软件所在目录下"),
             MaskCountsText(choice, counts));
}

}  // namespace lanzhou
