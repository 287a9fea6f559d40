#include "app/database_win.h"

#include <windows.h>

#include <oleauto.h>

#include <string>

#include "text/scoped_handle_win.h"

namespace quillmere::app {
namespace {

// ADODB.Connection.
constexpr CLSID kConnectionClass = {
    0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

HRESULT invoke_method(IDispatch* object, const wchar_t* name, VARIANT* arguments, UINT count) {
  DISPID id = 0;
  auto* member = const_cast<LPOLESTR>(name);
  HRESULT result = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(result)) return result;
  DISPPARAMS parameters{arguments, nullptr, count, 0};
  EXCEPINFO exception{};
  VARIANT returned;
  VariantInit(&returned);
  result = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                          &returned, &exception, nullptr);
  VariantClear(&returned);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return result;
}

}  // namespace

bool DatabaseConnection::open(const std::wstring& path) {
  close();
  IDispatch* connection = nullptr;
  if (FAILED(CoCreateInstance(kConnectionClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&connection))))
    return false;
  // Quoted, so a ";" in a folder name cannot end the path early.
  const std::wstring connection_text =
      L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + L"\"";
  const Owned<BSTR, SysFreeString> connection_string(SysAllocString(connection_text.c_str()));
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = connection_string.get();
  if (FAILED(invoke_method(connection, L"Open", &argument, 1))) {
    connection->Release();
    return false;
  }
  connection_ = connection;
  return true;
}

void DatabaseConnection::close() {
  if (connection_ == nullptr) return;
  invoke_method(connection_, L"Close", nullptr, 0);
  connection_->Release();
  connection_ = nullptr;
}

}  // namespace quillmere::app
