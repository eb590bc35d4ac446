#include "json/json_module.h"

#include "json/error_log.h"
#include "json/json_dates.h"
#include "json/json_handle.h"
#include "text/encoding.h"

namespace lanzhou {

namespace {

ErrorLog* error_log = nullptr;
// The module-information document. Nothing reads it; it is released at exit with the rest
// of the module.
JsonNode* info_document = nullptr;

}  // namespace

void JsonModuleConstruct() {
  if (error_log == nullptr) error_log = new ErrorLog();
}

ErrorLog* JsonModuleErrorLog() { return error_log; }

JsonHandle BuildModuleInfoDocument(const std::function<void(int, const JsonHandle&)>& after_step) {
  JsonHandle doc;  // the first handle also makes the shared node pool
  const Text info = FromUtf8("模块信息");
  auto step = [&](int n) {
    if (after_step) after_step(n, doc);
  };
  doc.Member(info).Member("name").TextValue(FromUtf8("json操作模块"), true);
  step(1);
  doc.Member(info).Member(FromUtf8("版本")).FloatValue(1.1f, true);
  step(2);
  doc.Member("array").Index(1).TextValue("array1", true);
  step(3);
  doc.Member("array").Index(2).BoolValue(true, true);
  step(4);
  doc.Member("array").Index(1).Index(2).TextValue("dgd", true);
  step(5);
  doc.Member("array").Index(1).Index(3).TextValue("9999", true);
  step(6);
  doc.Index(1).TextValue("dfg", true);
  step(7);
  doc.Index(2).TextValue("444", true);
  step(8);
  return doc;
}

void JsonModuleStartup() {
  if (info_document != nullptr) return;
  info_document = BuildModuleInfoDocument().root();
}

void JsonModuleCleanup() {
  if (info_document != nullptr) {
    JsonHandle doc;
    doc.Attach(info_document, info_document);
    doc.Remove(true, false);
    info_document = nullptr;
  }
  delete error_log;
  error_log = nullptr;
  ReleaseDateNameTables();
}

}  // namespace lanzhou
