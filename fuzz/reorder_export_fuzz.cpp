// The reorder page on arbitrary files: the loader cuts lines as the line reader does, and the
// export of the grid in a random column order has one line per row.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "pages/reorder.h"
#include "text/encoding.h"
#include "io/files.h"
#include "text/gbk_chars.h"
#include "text/text_primitives.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  std::string delimiter = in.ConsumeRandomLengthString(4);
  const Text out_delimiter(in.ConsumeRandomLengthString(4));
  const Text order(in.ConsumeRandomLengthString(16));
  const std::string file = in.ConsumeRemainingBytesAsString();
  const std::string detail =
      "delimiter \"" + fuzz::Escaped(delimiter) + "\" order \"" + fuzz::Escaped(order.view()) +
      "\" out \"" + fuzz::Escaped(out_delimiter.view()) + "\" file \"" + fuzz::Escaped(file) + "\"";

  GridData grid;
  LoadDelimitedBytes(file, Text(delimiter), grid);

  // The same lines through a file number and ReadLine, as the window's first version read.
  const FileNumber memory = OpenMemoryFile();
  WriteText(memory, {Text(DecodeInput(file))});
  SeekToStart(memory);
  int row = 0;
  int widest = 0;
  while (!IsEndOfFile(memory, true)) {
    const TextArray fields = SplitText(ReadLine(memory), Text(delimiter));
    FUZZ_CHECK(row < grid.ItemCount(), detail + " too few rows");
    for (int k = 0; k < static_cast<int>(fields.size()) || k < grid.ColumnCount(); ++k) {
      const Text expected = k < static_cast<int>(fields.size()) ? fields[k] : Text();
      FUZZ_CHECK(grid.GetCellText(row, k) == expected,
                 detail + " row " + std::to_string(row) + " column " + std::to_string(k));
    }
    widest = std::max(widest, static_cast<int>(fields.size()));
    ++row;
  }
  CloseFile(memory);
  FUZZ_CHECK(row == grid.ItemCount(), detail + " too many rows");
  FUZZ_CHECK(widest == grid.ColumnCount(), detail + " column count");
  for (int c = 0; c < grid.ColumnCount(); ++c) {
    FUZZ_CHECK(grid.columns()[c].caption == Text(std::to_string(c + 1)), detail);
  }

  const Bytes exported = ExportColumns(grid, order, out_delimiter);
  if (grid.ItemCount() == 0) {
    FUZZ_CHECK(exported.empty(), detail);
    return 0;
  }
  FUZZ_CHECK(exported.view().ends_with("\r\n"), detail);
  // Cells are whole characters without LF, so with a delimiter of plain ASCII without LF
  // every CR LF found by character is a line end, one per row.
  // (A cell can end in a lone lead byte only when the line's last CR was the second byte of
  // a character in invalid GBK, and the line reader dropped it as the line's CR.)
  bool plain = std::all_of(out_delimiter.view().begin(), out_delimiter.view().end(),
                           [](char c) { return c > 0 && c < 0x7F && c != '\n'; });
  for (int r = 0; plain && r < grid.ItemCount(); ++r) {
    for (int c = 0; plain && c < grid.ColumnCount(); ++c)
      plain = !EndsWithLoneLeadByte(grid.CellView(r, c));
  }
  if (!plain) return 0;
  const TextArray lines = SplitText(Text(exported.data()), Text("\r\n"));
  FUZZ_CHECK(static_cast<int>(lines.size()) == grid.ItemCount(),
             detail + " exported \"" + fuzz::Escaped(exported.view()) + "\"");

  // One column number: each line is that cell, less one delimiter it ends with.
  const std::vector<int> numbers = ParseColumnOrder(order);
  if (numbers.size() == 1) {
    for (int r = 0; r < grid.ItemCount(); ++r) {
      const Text cell = numbers[0] >= 1 ? grid.GetCellText(r, numbers[0] - 1) : Text();
      const bool cut = !out_delimiter.empty() && cell.view().ends_with(out_delimiter.view()) &&
                       lines[r] == LeftText(cell, TextLength(cell) - TextLength(out_delimiter));
      FUZZ_CHECK(lines[r] == cell || cut, detail + " row " + std::to_string(r));
    }
  }
  return 0;
}
