// The three text pages in the real window: text pasted into the boxes, numbers typed, the real
// buttons pressed, dialogs scripted, and the saved files read back from the run directory.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/long_work_runner.h"
#include "tests/gui/window_fixture.h"
#include "ui/dropped_text.h"

namespace lanzhou {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class TextPagesGui : public WindowTest {
 protected:
  void ShowPage(int page) {
    window_->show();
    window_->tabs()->setCurrentIndex(page);
    QApplication::processEvents();
  }
  void Paste(Unit box, const char* utf8) { Widget<QPlainTextEdit>(box)->setPlainText(Q(utf8)); }
  void Type(Unit box, const char* utf8) {
    auto* edit = Widget<QLineEdit>(box);
    edit->clear();
    QTest::keyClicks(edit, Q(utf8));
  }
  QString Shown(Unit box) { return Widget<QPlainTextEdit>(box)->toPlainText(); }
  void Press(Unit button) {
    QTest::mouseClick(Widget<QPushButton>(button), Qt::LeftButton);
    QApplication::processEvents();
  }
  // File name (UTF-8) -> bytes, for every file in the run directory.
  std::vector<std::pair<std::string, std::string>> SavedFiles() const {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(DirectoryPath())) {
      std::ifstream in(entry.path(), std::ios::binary);
      files.emplace_back(entry.path().filename().string(),
                         std::string(std::istreambuf_iterator<char>(in), {}));
    }
    return files;
  }
  static std::string Gbk(const char* utf8) { return FromUtf8(utf8).bytes(); }
  std::vector<ScriptedDialogs::Message> Said(const std::string& utf8, int flags = 0) {
    return {{FromUtf8(utf8), flags, FromUtf8("信息：")}};
  }
  // The message of a save in the run directory: its counts (when given) and the file.
  std::vector<ScriptedDialogs::Message> SavedHere(const std::string& name,
                                                  const std::string& counts = "") {
    const std::string lines = counts.empty() ? "" : counts + "\n";
    return {{FromUtf8("处理完毕，已保存在软件所在目录下\n" + lines + DirectoryPath() + "/" + name),
             message_flags::kOpenFolder, FromUtf8("信息：")}};
  }
  void Undo(Unit box) {
    QTest::keyClick(Widget<QPlainTextEdit>(box), Qt::Key_Z, Qt::ControlModifier);
  }
};

TEST_F(TextPagesGui, ExtractionConvertsTheBoxUndoablyAndSavesTheChosenFields) {
  ShowPage(4);
  Paste(Unit::编辑框4, "张三----138----北京\n李四|139|上海\nx\n");
  Widget<QLineEdit>(Unit::列1)->setText(Q("3｜1"));  // as a Chinese input method types it
  Press(Unit::按钮3);

  EXPECT_EQ(Shown(Unit::编辑框4), Q("张三|138|北京\n李四|139|上海\nx\n"));
  const auto files = SavedFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].first, "分割后_2015年3月4日12时30分45秒.txt");
  EXPECT_EQ(files[0].second, Gbk("北京|张三\r\n上海|李四\r\nx"));
  EXPECT_EQ(dialogs_.messages,
            SavedHere(files[0].first, "已保存 3 行\n1 行缺少所选的项，这些行的其余项已左移"));
  Undo(Unit::编辑框4);
  EXPECT_EQ(Shown(Unit::编辑框4), Q("张三----138----北京\n李四|139|上海\nx\n"));
}

// A box's text of over a megabyte goes in a piece at a time while the window goes on; the box
// then holds the whole result, and one undo brings back the whole input.
TEST_F(TextPagesGui, ALargeExtractionRewritesTheWholeBoxAsOneUndoableEdit) {
  ShowPage(4);
  QString input;
  QString converted;
  for (int i = 0; i < 60'000; ++i) {
    const QString n = QString::number(i);
    input += Q("张三") + n + Q("----138----北京\n");
    converted += Q("张三") + n + Q("|138|北京\n");
  }
  Widget<QPlainTextEdit>(Unit::编辑框4)->setPlainText(input);
  Widget<QLineEdit>(Unit::列1)->setText(Q("2"));
  Press(Unit::按钮3);

  EXPECT_EQ(Shown(Unit::编辑框4), converted);
  EXPECT_EQ(dialogs_.messages,
            SavedHere("分割后_2015年3月4日12时30分45秒.txt", "已保存 60,000 行"));
  Undo(Unit::编辑框4);
  EXPECT_EQ(Shown(Unit::编辑框4), input);
}

// Also where the system has no thread to spare for the work (a process limit), or no memory
// for its stack (an address-space limit): it then runs on the window's.
TEST_F(TextPagesGui, DuplicateRemovalFillsOnlyTheResultBox) {
  ShowPage(2);
  enum class Threads { kStart, kNoneLeft, kNoMemory };
  for (const Threads threads : {Threads::kStart, Threads::kNoneLeft, Threads::kNoMemory}) {
    if (threads == Threads::kNoneLeft) {
      window_->long_work().set_thread_starter([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      });
    } else if (threads == Threads::kNoMemory) {
      window_->long_work().set_thread_starter(
          [](std::function<void()>) -> std::thread { throw std::bad_alloc(); });
    }
    Paste(Unit::编辑框2, "乙\n甲\n乙\n\n丙\n\n甲");
    Paste(Unit::编辑框3, "");
    Press(Unit::按钮1);

    EXPECT_EQ(Shown(Unit::编辑框3), Q("乙\n甲\n\n丙"));
    EXPECT_EQ(Shown(Unit::编辑框2), Q("乙\n甲\n乙\n\n丙\n\n甲"));
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_TRUE(dialogs_.messages.empty());
  }
}

TEST_F(TextPagesGui, WrappingCleansUndoablyShowsAndSaves) {
  ShowPage(3);
  Paste(Unit::被折行_编辑框, "我们说“好”，\n好的。ab cdefghij");
  Type(Unit::字数_编辑框, "8");
  Widget<QCheckBox>(Unit::选择框2)->setChecked(true);
  Press(Unit::按钮2);

  EXPECT_EQ(Shown(Unit::被折行_编辑框), Q("我们说“好”好的ab cdefghij"));
  EXPECT_EQ(Shown(Unit::替换后_编辑框), Q("我们说\n“好”好\n的ab \ncdefghij"));
  const auto files = SavedFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].first, "折行后_2015年3月4日12时30分45秒.txt");
  EXPECT_EQ(files[0].second, Gbk("我们说\r\n“好”好\r\n的ab \r\ncdefghij"));
  EXPECT_EQ(dialogs_.messages, SavedHere(files[0].first, "已保存 4 行"));
  Undo(Unit::被折行_编辑框);
  EXPECT_EQ(Shown(Unit::被折行_编辑框), Q("我们说“好”，\n好的。ab cdefghij"));
}

TEST_F(TextPagesGui, FilesDroppedOnATextBoxBringTheirDecodedText) {
  const std::string missing = DirectoryPath() + "/不在.txt";
  auto file = [&](const char* name, const std::string& bytes) {
    const std::string path = DirectoryPath() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  const std::string gbk = file("gbk.txt", Gbk("张三\r\n北京|上海"));
  const std::string utf8 = file("utf8.txt", "\xEF\xBB\xBF名单\n张三\n");
  const std::string empty = file("empty.txt", "");
  // Text up to a zero byte after the first block, as a log cut off by a crash leaves it.
  const std::string long_line(kTextProbeBytes, 'a');
  const std::string cut = file("cut.txt", long_line + '\0' + "\x01\x02\xFF junk");
  const std::string program = file("program",
                                   "\x7F"
                                   "ELF\x02\x01\x01" +
                                       std::string(9, '\0'));
  const std::string controls = file("controls", std::string(40, '\x01') + Gbk("张三"));
  // 名单 CR LF 张三 as Windows Notepad saves "Unicode": UTF-16LE with its mark.
  const std::string utf16 =
      file("utf16.txt", std::string("\xFF\xFE\x0D\x54\x55\x53\r\0\n\0\x20\x5F\x09\x4E", 14));
  struct Case {
    int page;
    Unit box;
    std::vector<std::string> files;
    std::string text;  // what the box holds then, UTF-8
    std::vector<std::string> unreadable;
    std::vector<std::string> not_text;
  } cases[] = {
      {2, Unit::编辑框2, {gbk}, "张三\r\n北京|上海", {}, {}},
      {3, Unit::被折行_编辑框, {utf8, gbk}, "名单\r\n张三\r\n张三\r\n北京|上海", {}, {}},
      {4, Unit::编辑框4, {gbk, empty, utf8}, "张三\r\n北京|上海\r\n名单\r\n张三\r\n", {}, {}},
      {5, Unit::清洗_编辑框, {gbk}, "张三\r\n北京|上海", {}, {}},
      {4,
       Unit::编辑框4,
       {missing, utf8, DirectoryPath()},
       "名单\r\n张三\r\n",
       {missing, DirectoryPath()},
       {}},
      {2, Unit::编辑框2, {program, controls}, "", {}, {program, controls}},
      {5, Unit::清洗_编辑框, {utf16, gbk}, "名单\r\n张三\r\n张三\r\n北京|上海", {}, {}},
      {3,
       Unit::被折行_编辑框,
       {cut, program, gbk},
       long_line + "\r\n张三\r\n北京|上海",
       {},
       {program}},
  };
  // The files are read on another thread, however small, while the window goes on.
  int threads = 0;
  window_->long_work().set_thread_starter([&threads](std::function<void()> body) {
    ++threads;
    return std::thread(std::move(body));
  });
  for (const Case& c : cases) {
    ShowPage(c.page);
    Widget<QPlainTextEdit>(c.box)->clear();
    dialogs_.messages.clear();
    threads = 0;
    auto [accepted, action] = DropFiles(Widget<QPlainTextEdit>(c.box)->viewport(), c.files);

    EXPECT_EQ(threads, 1) << c.text;
    EXPECT_TRUE(accepted);
    EXPECT_EQ(action, Qt::CopyAction);
    EXPECT_EQ(ToUtf8(window_->units().EditText(c.box)), c.text);
    std::vector<ScriptedDialogs::Message> expected;
    for (const std::string& path : c.unreadable) {
      expected.push_back(
          {FromUtf8("无法打开文件：" + path), message_flags::kIconError, FromUtf8("信息：")});
    }
    for (const std::string& path : c.not_text) {
      expected.push_back(
          {FromUtf8("不是文本文件：" + path), message_flags::kIconError, FromUtf8("信息：")});
    }
    EXPECT_EQ(dialogs_.messages, expected) << c.text;
  }
  // Text dragged from another program is inserted as it is, addresses included, and copied
  // even where the other program proposes a move (Shift).
  QMimeData text;
  text.setText(QStringLiteral("file:///etc/hostname"));
  ShowPage(2);
  Widget<QPlainTextEdit>(Unit::编辑框2)->clear();
  EXPECT_EQ(DropMime(Widget<QPlainTextEdit>(Unit::编辑框2)->viewport(), &text, Qt::ShiftModifier),
            std::pair(true, Qt::CopyAction));
  EXPECT_EQ(Shown(Unit::编辑框2), QStringLiteral("file:///etc/hostname"));
}

TEST_F(TextPagesGui, UselessSettingsAreRefusedBeforeAnythingChanges) {
  struct Case {
    int page;
    Unit box, setting, button;
    const char* typed;
    const char* warning;
  } cases[] = {
      {3, Unit::被折行_编辑框, Unit::字数_编辑框, Unit::按钮2, "0",
       "请输入1到10000之间的每行字符数"},
      {3, Unit::被折行_编辑框, Unit::字数_编辑框, Unit::按钮2, "99999999999",
       "请输入1到10000之间的每行字符数"},
      {4, Unit::编辑框4, Unit::列1, Unit::按钮3, "abc", "请输入要提取的项，如 3|1"},
      {4, Unit::编辑框4, Unit::列1, Unit::按钮3, "", "请输入要提取的项，如 3|1"},
      {4, Unit::编辑框4, Unit::列1, Unit::按钮3, "0|-1", "请输入要提取的项，如 3|1"},
      {4, Unit::编辑框4, Unit::列1, Unit::按钮3, "3;a", "请输入要提取的项，如 3|1"},
      {4, Unit::编辑框4, Unit::列1, Unit::按钮3, "1.5", "请输入要提取的项，如 3|1"},
      // Nothing to save when no line has the field.
      {4, Unit::编辑框4, Unit::列1, Unit::按钮3, "9", "没有一行有第9项，未保存"},
  };
  for (const Case& c : cases) {
    dialogs_.messages.clear();
    ShowPage(c.page);
    Paste(c.box, "你好，\n世界----a");
    Type(c.setting, c.typed);
    Press(c.button);

    EXPECT_EQ(Shown(c.box), Q("你好，\n世界----a")) << c.typed;
    EXPECT_EQ(Shown(Unit::替换后_编辑框), QString());
    EXPECT_TRUE(SavedFiles().empty()) << c.typed;
    EXPECT_EQ(dialogs_.messages, Said(c.warning, message_flags::kIconWarning)) << c.typed;
  }
}

TEST_F(TextPagesGui, CleanUpFoldsTheTickedFormsShowsAndSaves) {
  ShowPage(5);
  EXPECT_TRUE(Widget<QRadioButton>(Unit::单选框_不转换)->isChecked());
  Paste(Unit::清洗_编辑框, "　張三　　１３８００１３８０００ \n\n（Ｔｅｌ）电话\n");
  for (Unit box : {Unit::选择框_全角, Unit::选择框_首尾, Unit::选择框_空白, Unit::选择框_小写,
                   Unit::选择框_空行}) {
    Widget<QCheckBox>(box)->setChecked(true);
  }
  QTest::mouseClick(Widget<QRadioButton>(Unit::单选框_繁转简), Qt::LeftButton);
  EXPECT_FALSE(Widget<QRadioButton>(Unit::单选框_不转换)->isChecked());
  Press(Unit::按钮_清洗);

  EXPECT_EQ(Shown(Unit::清洗后_编辑框), Q("张三 13800138000\n（tel）电话"));
  const auto files = SavedFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].first, "清洗后_2015年3月4日12时30分45秒.txt");
  EXPECT_EQ(files[0].second, Gbk("张三 13800138000\r\n（tel）电话"));
  EXPECT_EQ(dialogs_.messages, SavedHere(files[0].first, "已保存 2 行，去掉空行 1 行"));

  // Punctuation too, and the other way round.
  Widget<QCheckBox>(Unit::选择框_标点)->setChecked(true);
  QTest::mouseClick(Widget<QRadioButton>(Unit::单选框_简转繁), Qt::LeftButton);
  Press(Unit::按钮_清洗);
  EXPECT_EQ(Shown(Unit::清洗后_编辑框), Q("張三 13800138000\n(tel)電話"));
}

TEST_F(TextPagesGui, DuplicateRemovalIgnoresWhatIsTicked) {
  ShowPage(2);
  Paste(Unit::编辑框2, "電話 \nＡｂ\n电话\nab\n　电话");
  Press(Unit::按钮1);
  EXPECT_EQ(Shown(Unit::编辑框3), Q("電話 \nＡｂ\n电话\nab\n　电话"));
  for (Unit box : {Unit::选择框_忽略全半角, Unit::选择框_忽略空白, Unit::选择框_忽略大小写,
                   Unit::选择框_忽略繁简}) {
    Widget<QCheckBox>(box)->setChecked(true);
  }
  Press(Unit::按钮1);
  EXPECT_EQ(Shown(Unit::编辑框3), Q("電話 \nＡｂ"));
  EXPECT_TRUE(SavedFiles().empty());
}

TEST_F(TextPagesGui, InformationPageFindsItemsAndFiltersLines) {
  ShowPage(DefinitionOf(Unit::按钮_提取).page);
  Paste(Unit::编辑框_提取资料,
        "张三 １３８-００１３-８０００ zs@qq.com\n订单2013800138000123\n李四 13800138000 QQ "
        "88886666");
  Widget<QCheckBox>(Unit::选择框_手机号)->setChecked(true);
  Widget<QCheckBox>(Unit::选择框_QQ号)->setChecked(true);
  Widget<QCheckBox>(Unit::选择框_结果去重)->setChecked(true);
  Press(Unit::按钮_提取);

  EXPECT_EQ(Shown(Unit::编辑框_提取结果), Q("13800138000\n88886666"));
  auto files = SavedFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].first, "提取后_2015年3月4日12时30分45秒.txt");
  EXPECT_EQ(files[0].second, "13800138000\r\n88886666");
  EXPECT_EQ(dialogs_.messages, SavedHere(files[0].first, "找到 2 项"));

  // Keeping, then dropping, the lines with a keyword, in the same second: both are kept.
  Paste(Unit::编辑框_关键词, "ZS@\n订单");
  Widget<QCheckBox>(Unit::选择框_不分大小写)->setChecked(true);
  Press(Unit::按钮_保留);
  EXPECT_EQ(Shown(Unit::编辑框_提取结果),
            Q("张三 １３８-００１３-８０００ zs@qq.com\n订单2013800138000123"));
  Press(Unit::按钮_删除);
  EXPECT_EQ(Shown(Unit::编辑框_提取结果), Q("李四 13800138000 QQ 88886666"));
  files = SavedFiles();
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1].first, "过滤后_2015年3月4日12时30分45秒.txt");
  EXPECT_EQ(files[1].second,
            Gbk("张三 １３８-００１３-８０００ zs@qq.com\r\n订单2013800138000123"));
  EXPECT_EQ(files[2].first, "过滤后_2015年3月4日12时30分45秒_2.txt");
  EXPECT_EQ(files[2].second, Gbk("李四 13800138000 QQ 88886666"));
  EXPECT_EQ(dialogs_.messages.back(), SavedHere(files[2].first, "保留 1 行，去掉 2 行")[0]);
}

TEST_F(TextPagesGui, InformationPageRefusesWhatFindsNothing) {
  struct Case {
    bool tick_phone;
    bool tick_old_id;  // without 身份证号
    const char* pattern;
    Unit button;
    const char* warning;
  } cases[] = {
      {false, false, "", Unit::按钮_提取, "请勾选要提取的信息，或填写自定义规则"},
      {true, false, "(a", Unit::按钮_提取, "自定义规则有误：缺少右括号“)”，出错处：(a"},
      {true, false, "a\\C", Unit::按钮_提取,
       "自定义规则有误：\\C 匹配单个字节，会落在汉字中间，请不要使用"},
      {false, true, "", Unit::按钮_提取, "勾选“含15位旧号”时，请同时勾选“身份证号”"},
      {true, true, "", Unit::按钮_提取, "勾选“含15位旧号”时，请同时勾选“身份证号”"},
      {true, false, "", Unit::按钮_保留, "请输入关键词，一行一个"},
      {true, false, "", Unit::按钮_删除, "请输入关键词，一行一个"},
  };
  ShowPage(DefinitionOf(Unit::按钮_提取).page);
  for (const Case& c : cases) {
    dialogs_.messages.clear();
    Paste(Unit::编辑框_提取资料, "13800138000");
    Paste(Unit::编辑框_关键词, "\n\n");
    Widget<QCheckBox>(Unit::选择框_手机号)->setChecked(c.tick_phone);
    Widget<QCheckBox>(Unit::选择框_旧身份证)->setChecked(c.tick_old_id);
    Type(Unit::编辑框_自定义, c.pattern);
    Press(c.button);

    EXPECT_EQ(Shown(Unit::编辑框_提取结果), QString()) << c.warning;
    EXPECT_TRUE(SavedFiles().empty()) << c.warning;
    EXPECT_EQ(dialogs_.messages, Said(c.warning, message_flags::kIconWarning));
  }
}

}  // namespace
}  // namespace lanzhou
