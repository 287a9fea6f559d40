// The first sheet of an .xlsx workbook: a zip of XML parts, unpacked with minizip from memory and
// parsed with expat as it unpacks, so no part is ever held whole.

#include <expat.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sheet/read.h"
#include "sheet/read_limits.h"
#include "text/codepage.h"
#include "text/gbk_literal.h"

namespace quillmere::sheet {
namespace {

constexpr std::string_view kNotAWorkbook = "文件不是有效的 .xlsx 工作簿（无法解压）。"_gbk;
constexpr std::string_view kNoSheet = "文件不是有效的 .xlsx 工作簿（找不到工作表）。"_gbk;
constexpr std::string_view kDamaged = "文件不是有效的 .xlsx 工作簿（内容已损坏）。"_gbk;
constexpr std::string_view kDoctype = "文件不是有效的 .xlsx 工作簿（含有不允许的 DTD 声明）。"_gbk;
constexpr std::string_view kTooBig = "工作簿解压后超过 200 MB，无法读取。"_gbk;

// ---- The zip, read from memory through minizip's I/O table.

struct MemoryFile {
  std::string_view bytes;
  ZPOS64_T at = 0;
};

voidpf ZCALLBACK open_memory(voidpf opaque, const void*, int mode) {
  const bool read_only = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ;
  return read_only ? opaque : nullptr;
}

uLong ZCALLBACK read_memory(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* file = static_cast<MemoryFile*>(stream);
  const ZPOS64_T left = file->bytes.size() - std::min<ZPOS64_T>(file->at, file->bytes.size());
  const auto count = static_cast<uLong>(std::min<ZPOS64_T>(size, left));
  if (count > 0) std::memcpy(buffer, file->bytes.data() + file->at, count);
  file->at += count;
  return count;
}

uLong ZCALLBACK write_memory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tell_memory(voidpf, voidpf stream) {
  return static_cast<MemoryFile*>(stream)->at;
}

long ZCALLBACK seek_memory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* file = static_cast<MemoryFile*>(stream);
  const ZPOS64_T size = file->bytes.size();
  ZPOS64_T base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = file->at; break;
    case ZLIB_FILEFUNC_SEEK_END: base = size; break;
    default: return -1;
  }
  if (offset > size || base > size - offset) return -1;
  file->at = base + offset;
  return 0;
}

int ZCALLBACK close_memory(voidpf, voidpf) { return 0; }
int ZCALLBACK error_memory(voidpf, voidpf) { return 0; }

struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};

// ---- XML parts.

// What a part's parser is told, with names stripped of their namespace.
class PartHandler {
 public:
  virtual ~PartHandler() = default;
  virtual void start(std::string_view name, const XML_Char** attributes) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void text(std::string_view) {}
  // Set by a handler that refuses the part (GBK); the parser stops.
  std::string error;
};

constexpr XML_Char kNamespaceSeparator = '\x01';

std::string_view local_name(const XML_Char* name) {
  const std::string_view full(name);
  const std::size_t cut = full.rfind(kNamespaceSeparator);
  return cut == std::string_view::npos ? full : full.substr(cut + 1);
}

// The attribute `local` of an element; `in_namespace` asks for a prefixed one (r:id), else an
// unprefixed one.
std::optional<std::string_view> attribute(const XML_Char** attributes, std::string_view local,
                                          bool in_namespace = false) {
  for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
    const std::string_view name(at[0]);
    const bool prefixed = name.find(kNamespaceSeparator) != std::string_view::npos;
    if (prefixed == in_namespace && local_name(at[0]) == local) return std::string_view(at[1]);
  }
  return std::nullopt;
}

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

class Workbook {
 public:
  explicit Workbook(std::string_view bytes) : file_{bytes, 0} {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = open_memory;
    functions.zread_file = read_memory;
    functions.zwrite_file = write_memory;
    functions.ztell64_file = tell_memory;
    functions.zseek64_file = seek_memory;
    functions.zclose_file = close_memory;
    functions.zerror_file = error_memory;
    functions.opaque = &file_;
    zip_.reset(unzOpen2_64("workbook.xlsx", &functions));
  }

  bool opened() const { return zip_ != nullptr; }

  bool has_part(const std::string& name) {
    // 2: names compare without regard to case, as some producers capitalise differently.
    return unzLocateFile(zip_.get(), name.c_str(), 2) == UNZ_OK;
  }

  // Unpacks the part `name` into `handler`'s parser. An empty result is success; else the reason
  // (GBK). A missing part gives `missing`.
  std::string parse(const std::string& name, PartHandler& handler, std::string_view missing) {
    if (!has_part(name)) return std::string(missing);
    if (unzOpenCurrentFile(zip_.get()) != UNZ_OK) return std::string(kDamaged);
    std::unique_ptr<XML_ParserStruct, ParserFree> parser(
        XML_ParserCreateNS(nullptr, kNamespaceSeparator));
    if (parser == nullptr) {
      unzCloseCurrentFile(zip_.get());
      return std::string(kDamaged);
    }
    Context context{parser.get(), &handler, false};
    set_up(context);

    std::string result;
    std::array<char, 64 * 1024> buffer;
    for (;;) {
      const int got = unzReadCurrentFile(zip_.get(), buffer.data(), buffer.size());
      if (got < 0) {
        result = kDamaged;
        break;
      }
      unpacked_ += static_cast<std::size_t>(got);
      if (unpacked_ > kMaxUnpackedBytes) {
        result = kTooBig;
        break;
      }
      if (XML_Parse(parser.get(), buffer.data(), got, got == 0) != XML_STATUS_OK) {
        result = context.doctype         ? std::string(kDoctype)
                 : handler.error.empty() ? std::string(kDamaged)
                                         : handler.error;
        break;
      }
      if (got == 0) break;
    }
    // Only a part read to its end has had its checksum compared.
    if (unzCloseCurrentFile(zip_.get()) == UNZ_CRCERROR && result.empty()) result = kDamaged;
    return result;
  }

 private:
  struct Context {
    XML_Parser parser;
    PartHandler* handler;
    bool doctype;
  };

  static void set_up(Context& context) {
    XML_Parser parser = context.parser;
    XML_SetUserData(parser, &context);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
          auto* c = static_cast<Context*>(data);
          c->handler->start(local_name(name), attributes);
          if (!c->handler->error.empty()) XML_StopParser(c->parser, XML_FALSE);
        },
        [](void* data, const XML_Char* name) {
          auto* c = static_cast<Context*>(data);
          c->handler->end(local_name(name));
          if (!c->handler->error.empty()) XML_StopParser(c->parser, XML_FALSE);
        });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
      static_cast<Context*>(data)->handler->text(
          std::string_view(chars, static_cast<std::size_t>(length)));
    });
    // A workbook has no use for a DTD; refusing one shuts out entity expansion of every kind.
    XML_SetStartDoctypeDeclHandler(
        parser, [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
          auto* c = static_cast<Context*>(data);
          c->doctype = true;
          XML_StopParser(c->parser, XML_FALSE);
        });
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  }

  MemoryFile file_;
  std::unique_ptr<void, ZipCloser> zip_;
  std::size_t unpacked_ = 0;
};

// ---- The workbook's parts.

// xl/workbook.xml: the relationship id of the first sheet.
class FirstSheet : public PartHandler {
 public:
  void start(std::string_view name, const XML_Char** attributes) override {
    if (name != "sheet" || found_) return;
    found_ = true;
    if (const auto id = attribute(attributes, "id", true)) id_ = *id;
  }
  void end(std::string_view) override {}
  const std::string& id() const { return id_; }

 private:
  bool found_ = false;
  std::string id_;
};

// A relationship's target as a part name: relative to xl/, or from the root when it begins with /.
std::string part_name(std::string_view target) {
  std::string path = target.starts_with('/') ? "" : "xl/";
  path += target.starts_with('/') ? target.substr(1) : target;
  std::vector<std::string> segments;
  std::size_t at = 0;
  while (at <= path.size()) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    const std::string segment = path.substr(at, slash - at);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    at = slash + 1;
  }
  std::string name;
  for (const std::string& segment : segments) name += (name.empty() ? "" : "/") + segment;
  return name;
}

// xl/_rels/workbook.xml.rels: where the first sheet and the shared strings are.
class Relationships : public PartHandler {
 public:
  explicit Relationships(std::string sheet_id) : sheet_id_(std::move(sheet_id)) {}
  void start(std::string_view name, const XML_Char** attributes) override {
    if (name != "Relationship") return;
    const auto id = attribute(attributes, "Id");
    const auto type = attribute(attributes, "Type");
    const auto target = attribute(attributes, "Target");
    if (!target || attribute(attributes, "TargetMode").value_or("") == "External") return;
    if (id && !sheet_id_.empty() && *id == sheet_id_ && sheet_.empty()) sheet_ = part_name(*target);
    if (type && type->ends_with("/sharedStrings") && shared_strings_.empty())
      shared_strings_ = part_name(*target);
  }
  void end(std::string_view) override {}
  const std::string& sheet() const { return sheet_; }
  const std::string& shared_strings() const { return shared_strings_; }

 private:
  std::string sheet_id_, sheet_, shared_strings_;
};

// Collects the text of <t> elements inside one string item (<si> or <is>), rich text runs
// (<r><t>) joined, phonetic guides (<rPh>) left out.
class StringItem {
 public:
  void start(std::string_view name) {
    if (name == "rPh") ++phonetic_;
    if (name == "t" && phonetic_ == 0) in_text_ = true;
  }
  void end(std::string_view name) {
    if (name == "rPh" && phonetic_ > 0) --phonetic_;
    if (name == "t") in_text_ = false;
  }
  void text(std::string_view chars) {
    if (in_text_) utf8_ += chars;
  }
  std::string take() {
    phonetic_ = 0;
    in_text_ = false;
    return std::exchange(utf8_, {});
  }

 private:
  std::string utf8_;
  int phonetic_ = 0;
  bool in_text_ = false;
};

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

std::string gbk_from_utf8(std::string_view utf8) {
  return is_ascii(utf8) ? std::string(utf8) : recode(utf8, kCodePageUtf8, kCodePageGbk);
}

// xl/sharedStrings.xml, converted to GBK in one go: XML never holds a NUL, so the strings are
// joined by NULs for one conversion, which costs far less than one per string.
class SharedStrings : public PartHandler {
 public:
  void start(std::string_view name, const XML_Char**) override {
    if (name == "si") in_item_ = true;
    if (in_item_) item_.start(name);
  }
  void end(std::string_view name) override {
    if (!in_item_) return;
    item_.end(name);
    if (name != "si") return;
    in_item_ = false;
    joined_ += item_.take();
    joined_ += '\0';
    // Tiny items could otherwise make far more strings than any sheet has cells.
    if (++count_ > kMaxCells) error = too_large_message();
  }
  void text(std::string_view chars) override {
    if (in_item_) item_.text(chars);
  }

  std::vector<std::string> strings() const {
    const std::string gbk = gbk_from_utf8(joined_);
    std::vector<std::string> out;
    out.reserve(count_);
    std::size_t at = 0;
    while (out.size() < count_ && at <= gbk.size()) {
      const std::size_t end = std::min(gbk.find('\0', at), gbk.size());
      out.emplace_back(gbk, at, end - at);
      at = end + 1;
    }
    out.resize(count_);
    return out;
  }

 private:
  StringItem item_;
  std::string joined_;
  std::size_t count_ = 0;
  bool in_item_ = false;
};

// "C5" -> column 2; nullopt when the reference has no letters or too many.
std::optional<std::size_t> column_of(std::string_view reference) {
  std::size_t column = 0, letters = 0;
  for (const char c : reference) {
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper < 'A' || upper > 'Z') break;
    if (++letters > 3) return std::nullopt;
    column = column * 26 + static_cast<std::size_t>(upper - 'A' + 1);
  }
  if (letters == 0) return std::nullopt;
  return column - 1;
}

std::optional<std::size_t> number_of(std::string_view digits) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

// The worksheet: cells placed by their references, or in order where a producer leaves them out.
class Worksheet : public PartHandler {
 public:
  explicit Worksheet(const std::vector<std::string>& strings) : strings_(strings) {}

  void start(std::string_view name, const XML_Char** attributes) override {
    // expat may still report an event or two after a stop.
    if (!error.empty()) return;
    if (name == "sheetData") in_data_ = true;
    if (!in_data_) return;
    if (name == "row") {
      const auto number = number_of(attribute(attributes, "r").value_or(""));
      row_ = number && *number >= 1 ? *number - 1 : next_row_;
      if (row_ >= kMaxRows) error = too_large_message();
      next_row_ = row_ + 1;
      next_column_ = 0;
    } else if (name == "c") {
      in_cell_ = true;
      column_ = column_of(attribute(attributes, "r").value_or("")).value_or(next_column_);
      type_ = attribute(attributes, "t").value_or("n");
      value_.clear();
      has_value_ = false;
      inline_.take();
    } else if (in_cell_ && name == "v") {
      in_value_ = true;
      has_value_ = true;
    } else if (in_cell_ && name == "is") {
      in_inline_ = true;
      has_value_ = true;
    }
    if (in_inline_) inline_.start(name);
  }

  void end(std::string_view name) override {
    if (in_inline_) inline_.end(name);
    if (name == "v") in_value_ = false;
    if (name == "is") in_inline_ = false;
    if (name == "sheetData") in_data_ = false;
    if (name != "c" || !in_cell_) return;
    in_cell_ = false;
    next_column_ = column_ + 1;
    if (has_value_ && error.empty()) place();
  }

  void text(std::string_view chars) override {
    if (in_value_) value_ += chars;
    if (in_inline_) inline_.text(chars);
  }

  Table take() {
    while (!rows_.empty() && std::all_of(rows_.back().begin(), rows_.back().end(),
                                         [](const Cell& cell) { return cell.text.empty(); }))
      rows_.pop_back();
    return Table{std::move(rows_)};
  }

 private:
  void place() {
    Cell cell;
    if (type_ == "s") {
      const auto index = number_of(value_);
      if (!index || *index >= strings_.size()) {
        error = kDamaged;
        return;
      }
      cell.text = strings_[*index];
    } else if (type_ == "inlineStr") {
      cell.text = gbk_from_utf8(inline_.take());
    } else if (type_ == "b") {
      cell.text = value_ == "1" ? "TRUE" : value_ == "0" ? "FALSE" : gbk_from_utf8(value_);
    } else if (type_ == "n") {
      cell.text = gbk_from_utf8(value_);
      cell.number = !cell.text.empty();
    } else {  // str (a formula's text), e (an error such as #N/A), d (an ISO date)
      cell.text = gbk_from_utf8(value_);
    }
    if (column_ >= kMaxColumns) {
      error = too_large_message();
      return;
    }
    if (rows_.size() <= row_) rows_.resize(row_ + 1);
    Row& row = rows_[row_];
    if (row.size() <= column_) {
      if (!budget_.take(column_ + 1, column_ + 1 - row.size())) {
        error = too_large_message();
        return;
      }
      row.resize(column_ + 1);
    }
    row[column_] = std::move(cell);
  }

  const std::vector<std::string>& strings_;
  std::vector<Row> rows_;
  CellBudget budget_;
  std::size_t row_ = 0, next_row_ = 0, column_ = 0, next_column_ = 0;
  std::string type_, value_;
  StringItem inline_;
  bool in_data_ = false, in_cell_ = false, in_value_ = false, in_inline_ = false;
  bool has_value_ = false;
};

}  // namespace

ReadResult read_xlsx(std::string_view bytes) {
  if (is_legacy_xls(bytes)) return ReadResult{{}, std::string(legacy_xls_message())};
  Workbook workbook(bytes);
  if (!workbook.opened()) return ReadResult{{}, std::string(kNotAWorkbook)};

  // The first sheet as the workbook lists it; without the listing, the usual first sheet's part.
  std::string sheet = "xl/worksheets/sheet1.xml";
  std::string shared_strings = "xl/sharedStrings.xml";
  FirstSheet first;
  if (workbook.has_part("xl/workbook.xml")) {
    std::string error = workbook.parse("xl/workbook.xml", first, kNoSheet);
    if (!error.empty()) return ReadResult{{}, std::move(error)};
  }
  Relationships relationships(first.id());
  if (workbook.has_part("xl/_rels/workbook.xml.rels")) {
    std::string error = workbook.parse("xl/_rels/workbook.xml.rels", relationships, kNoSheet);
    if (!error.empty()) return ReadResult{{}, std::move(error)};
    if (!relationships.sheet().empty() && workbook.has_part(relationships.sheet()))
      sheet = relationships.sheet();
    if (!relationships.shared_strings().empty()) shared_strings = relationships.shared_strings();
  }

  SharedStrings shared;
  if (workbook.has_part(shared_strings)) {
    std::string error = workbook.parse(shared_strings, shared, kDamaged);
    if (!error.empty()) return ReadResult{{}, std::move(error)};
  }
  const std::vector<std::string> strings = shared.strings();
  Worksheet worksheet(strings);
  std::string error = workbook.parse(sheet, worksheet, kNoSheet);
  if (!error.empty()) return ReadResult{{}, std::move(error)};
  return ReadResult{worksheet.take(), {}};
}

}  // namespace quillmere::sheet
