#pragma once
// The Access database beside the program, opened through ADO and the Jet OLE DB provider.
// Nothing reads or writes it; the open connection is held for the window's lifetime.

#include <oaidl.h>

#include <string>

namespace quillmere::app {

class DatabaseConnection {
 public:
  DatabaseConnection() = default;
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;
  ~DatabaseConnection() { close(); }

  // Opens the file by its path alone (no user, password or options). False on any failure.
  bool open(const std::wstring& path);
  void close();

 private:
  IDispatch* connection_ = nullptr;
};

}  // namespace quillmere::app
