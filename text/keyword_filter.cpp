#include "text/keyword_filter.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

unsigned char LowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; }

// The character at s[i] (of `length` 1 or 2) as one number: a byte of its own as itself
// (0..FF), a two-byte character as lead * 256 + trail (8000 and above), so that the two never
// meet. With `fold`, ASCII letters in lower case.
std::uint32_t CharCode(std::string_view s, std::size_t i, std::size_t length, bool fold) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (length == 1) return fold ? LowerAscii(lead) : lead;
  return static_cast<std::uint32_t>(lead) << 8 | static_cast<unsigned char>(s[i + 1]);
}

// A four-byte sequence at s[i] as its place among all of them (0 .. kFourByteCodes - 1).
constexpr std::uint32_t kFourByteCodes = 126 * 10 * 126 * 10;
std::uint32_t FourByteCode(std::string_view s, std::size_t i) {
  auto at = [&](std::size_t k) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[i + k]));
  };
  return (((at(0) - 0x81) * 10 + (at(1) - 0x30)) * 126 + (at(2) - 0x81)) * 10 + (at(3) - 0x30);
}

// `line` with the ASCII letters that are characters of their own in lower case.
void FoldCase(std::string_view line, std::string& out) {
  out.assign(line);
  for (std::size_t i = 0; i < out.size(); i += CharLength(out, i)) {
    out[i] = static_cast<char>(LowerAscii(static_cast<unsigned char>(out[i])));
  }
}

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

}  // namespace

struct KeywordFilter::Impl {
  KeywordOptions options;
  std::size_t keyword_count = 0;
  std::unordered_set<std::string, StringHash, std::equal_to<>> whole_lines;

  // The automaton. Characters that occur in keywords are numbered from 1 (`classes`); any
  // other character is 0 and sends it back to the root. The root's moves are a table; every
  // other state keeps its moves as a sorted run of `edges` and falls back along `fail`.
  std::vector<std::uint32_t> classes;  // indexed by `CharCode`
  // Indexed by `FourByteCode`; empty while no keyword holds a four-byte character.
  std::vector<std::uint32_t> four_byte_classes;
  std::vector<std::uint32_t> root;  // by class: the state after the root
  struct Edge {
    std::uint32_t cls;
    std::uint32_t to;
  };
  std::vector<Edge> edges;
  std::vector<std::uint32_t> first_edge;  // per state, one more at the end
  std::vector<std::uint32_t> fail;
  std::vector<std::uint8_t> ends;  // a keyword ends here, or at a state it falls back to

  std::uint32_t Move(std::uint32_t state, std::uint32_t cls) const {
    while (state != 0) {
      const Edge* begin = edges.data() + first_edge[state];
      const Edge* end = edges.data() + first_edge[state + 1];
      const Edge* e = end - begin <= 8
                          ? std::find_if(begin, end, [cls](const Edge& x) { return x.cls >= cls; })
                          : std::lower_bound(begin, end, cls, [](const Edge& x, std::uint32_t c) {
                              return x.cls < c;
                            });
      if (e != end && e->cls == cls) return e->to;
      state = fail[state];
    }
    return root[cls];
  }

  // The class of the character at line[i], of `length` (`WholeCharLength`).
  std::uint32_t& ClassAt(std::string_view line, std::size_t i, std::size_t length) {
    if (length < 4) return classes[CharCode(line, i, length, options.ignore_case)];
    if (four_byte_classes.empty()) four_byte_classes.assign(kFourByteCodes, 0);
    return four_byte_classes[FourByteCode(line, i)];
  }
  std::uint32_t ClassAt(std::string_view line, std::size_t i, std::size_t length) const {
    if (length < 4) return classes[CharCode(line, i, length, options.ignore_case)];
    return four_byte_classes.empty() ? 0 : four_byte_classes[FourByteCode(line, i)];
  }

  // Reads `line` on from the character at `i`, in `state`, until a keyword ends (true) or
  // the character that reaches `end` is read; `i` and `state` move on.
  bool Walk(std::string_view line, std::size_t& i, std::size_t end, std::uint32_t& state) const {
    while (i < end) {
      const auto b = static_cast<unsigned char>(line[i]);
      const std::size_t length = IsLeadByte(b) ? WholeCharLength(line, i) : 1;
      const std::uint32_t cls =
          length == 1 ? classes[options.ignore_case ? LowerAscii(b) : b] : ClassAt(line, i, length);
      i += length;
      state = cls == 0 ? 0 : Move(state, cls);
      if (ends[state]) return true;
    }
    return false;
  }

  bool Contains(std::string_view line) const {
    if (ends.empty()) return false;
    std::size_t i = 0;
    std::uint32_t state = 0;
    return Walk(line, i, line.size(), state);
  }

  // The character at line[i] (of `length`) as one number over all characters, in the order
  // the trie is built in: `CharCode` below 0x10000, a four-byte sequence above.
  std::uint32_t OrderCode(std::string_view line, std::size_t i, std::size_t length) const {
    return length < 4 ? CharCode(line, i, length, options.ignore_case)
                      : 0x10000 + FourByteCode(line, i);
  }

  // Whether keyword `a` comes before `b` read as sequences of `OrderCode`, so that keywords
  // with the same first characters lie together whatever their bytes.
  bool Before(std::string_view a, std::string_view b) const {
    std::size_t i = 0;
    std::size_t k = 0;
    while (i < a.size() && k < b.size()) {
      const auto x = static_cast<unsigned char>(a[i]);
      const auto y = static_cast<unsigned char>(b[k]);
      if (!IsLeadByte(x) && !IsLeadByte(y)) {  // two bytes of their own
        const bool fold = options.ignore_case;
        if ((fold ? LowerAscii(x) : x) != (fold ? LowerAscii(y) : y)) {
          return (fold ? LowerAscii(x) : x) < (fold ? LowerAscii(y) : y);
        }
        ++i;
        ++k;
        continue;
      }
      const std::size_t la = WholeCharLength(a, i);
      const std::size_t lb = WholeCharLength(b, k);
      const std::uint32_t ca = OrderCode(a, i, la);
      const std::uint32_t cb = OrderCode(b, k, lb);
      if (ca != cb) return ca < cb;
      i += la;
      k += lb;
    }
    return i == a.size() && k < b.size();
  }

  // The trie is built from the keywords in that order, each adding states only for what it
  // does not share with the one before, so no map of moves is held: a state costs its parent
  // and class while it is built, and its move, fall-back and flag after.
  void Build(std::vector<std::string_view>& keywords) {
    classes.assign(1 << 16, 0);
    std::sort(keywords.begin(), keywords.end(),
              [this](std::string_view a, std::string_view b) { return Before(a, b); });
    std::uint32_t class_count = 1;
    std::vector<std::uint32_t> parent(1, 0);
    std::vector<std::uint32_t> class_in(1, 0);  // the class of the move into each state
    std::vector<std::uint8_t> terminal(1, 0);
    std::vector<std::uint32_t> path;  // the states along the keyword before
    std::vector<std::uint32_t> path_codes;
    for (std::string_view keyword : keywords) {
      std::size_t depth = 0;
      std::size_t i = 0;
      // What this keyword shares with the one before.
      while (i < keyword.size() && depth < path.size()) {
        const std::size_t length = WholeCharLength(keyword, i);
        if (OrderCode(keyword, i, length) != path_codes[depth]) break;
        i += length;
        ++depth;
      }
      path.resize(depth);
      path_codes.resize(depth);
      while (i < keyword.size()) {
        const std::size_t length = WholeCharLength(keyword, i);
        std::uint32_t& cls = ClassAt(keyword, i, length);
        if (cls == 0) cls = class_count++;
        parent.push_back(path.empty() ? 0 : path.back());
        class_in.push_back(cls);
        terminal.push_back(0);
        path.push_back(static_cast<std::uint32_t>(parent.size() - 1));
        path_codes.push_back(OrderCode(keyword, i, length));
        i += length;
      }
      if (!path.empty()) terminal[path.back()] = 1;
    }
    const std::size_t states = parent.size();
    // Sorted runs of moves per state.
    first_edge.assign(states + 1, 0);
    for (std::size_t s = 1; s < states; ++s) ++first_edge[parent[s] + 1];
    for (std::size_t s = 0; s < states; ++s) first_edge[s + 1] += first_edge[s];
    edges.assign(states - 1, {});
    {
      std::vector<std::uint32_t> fill(first_edge.begin(), first_edge.end() - 1);
      for (std::size_t s = 1; s < states; ++s) {
        edges[fill[parent[s]]++] = {class_in[s], static_cast<std::uint32_t>(s)};
      }
    }
    std::vector<std::uint32_t>().swap(parent);
    std::vector<std::uint32_t>().swap(class_in);
    for (std::size_t s = 0; s < states; ++s) {
      std::sort(edges.begin() + first_edge[s], edges.begin() + first_edge[s + 1],
                [](const Edge& a, const Edge& b) { return a.cls < b.cls; });
    }
    root.assign(class_count, 0);
    for (std::uint32_t e = first_edge[0]; e < first_edge[1]; ++e) root[edges[e].cls] = edges[e].to;
    // Fall-back states breadth first, so a state's is known before its children's.
    fail.assign(states, 0);
    ends = std::move(terminal);
    std::vector<std::uint32_t> queue;
    queue.reserve(states);
    for (std::uint32_t e = first_edge[0]; e < first_edge[1]; ++e) queue.push_back(edges[e].to);
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const std::uint32_t s = queue[head];
      ends[s] = ends[s] | ends[fail[s]];
      for (std::uint32_t e = first_edge[s]; e < first_edge[s + 1]; ++e) {
        const std::uint32_t child = edges[e].to;
        fail[child] = Move(fail[s], edges[e].cls);
        queue.push_back(child);
      }
    }
  }
};

KeywordFilter::KeywordFilter(std::string_view keyword_lines, KeywordOptions options)
    : impl_(std::make_unique<Impl>()) {
  impl_->options = options;
  std::string_view rest = keyword_lines;
  std::string_view line;
  std::string folded;
  std::vector<std::string_view> keywords;
  while (NextLine(rest, line)) {
    if (line.empty()) continue;
    if (options.whole_line) {
      if (options.ignore_case) {
        FoldCase(line, folded);
        impl_->whole_lines.insert(folded);
      } else {
        impl_->whole_lines.emplace(line);
      }
    } else {
      keywords.push_back(line);
    }
  }
  impl_->keyword_count = options.whole_line ? impl_->whole_lines.size() : keywords.size();
  if (!keywords.empty()) impl_->Build(keywords);
}

KeywordFilter::~KeywordFilter() = default;

std::size_t KeywordFilter::KeywordCount() const { return impl_->keyword_count; }

bool KeywordFilter::LineMatches(std::string_view line) const {
  if (!impl_->options.whole_line) return impl_->Contains(line);
  if (!impl_->options.ignore_case) return impl_->whole_lines.contains(line);
  thread_local std::string folded;
  FoldCase(line, folded);
  return impl_->whole_lines.contains(folded);
}

bool KeywordFilter::LineMatches(std::string_view line,
                                const std::function<void(std::size_t)>& scanned) const {
  if (impl_->options.whole_line || impl_->ends.empty()) return LineMatches(line);
  std::size_t i = 0;
  std::uint32_t state = 0;
  return !ScanInSteps(
      line.size(), [&](std::size_t, std::size_t end) { return !impl_->Walk(line, i, end, state); },
      scanned);
}

std::size_t KeywordFilter::AppendFilteredLines(std::string_view lines, bool keep,
                                               std::string& out) const {
  std::size_t count = 0;
  std::string_view line;
  while (NextLine(lines, line)) {
    if (LineMatches(line) != keep) continue;
    if (count++ > 0) out += "\r\n";
    out.append(line);
  }
  return count;
}

}  // namespace lanzhou
