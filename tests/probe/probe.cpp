// probe.exe: a small console helper the end-to-end tests run in the same Wine
// prefix as setup.exe, to see and poke its windows from outside.
//   probe windows              one UTF-8 JSON line per visible top-level window
//   probe processes            one JSON line per process: pid, parent pid, exe name
//   probe ancestors            one JSON list: its own exe name, its parent's, and so on up
//   probe close HWND           posts WM_CLOSE
//   probe press HWND BUTTON_ID clicks a dialog button (BM_CLICK, else WM_COMMAND)
//   probe lock FILE SECONDS    holds FILE (or a folder) open without sharing, prints "locked", then waits
//   probe close-on-input HWND  prints "ready", posts WM_CLOSE once a line arrives on stdin
//   probe link FILE            reads a shortcut back: one JSON line, target, folder, description
//   probe hold                 brings up Wine's desktop and services, prints "ready", then stays
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/win32_guards.h"

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                 nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

// A JSON string literal (quotes included) for a UTF-16 text.
std::string json(const std::wstring& text) {
  std::string out = "\"";
  for (unsigned char c : utf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::wstring window_text(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(length + 1, L'\0');
  int copied = GetWindowTextW(hwnd, &text[0], length + 1);
  text.resize(copied > 0 ? copied : 0);
  return text;
}

std::wstring class_name(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::string handle(HWND hwnd) {
  return std::to_string(reinterpret_cast<unsigned long long>(hwnd));
}

std::string json_list(const std::vector<std::wstring>& texts) {
  std::string out = "[";
  for (size_t i = 0; i < texts.size(); ++i) out += (i ? "," : "") + json(texts[i]);
  return out + "]";
}

struct DialogParts {
  std::vector<std::wstring> statics;
  std::vector<std::wstring> buttons;
  std::vector<int> button_ids;
};

BOOL CALLBACK collect_child(HWND child, LPARAM param) {
  auto* parts = reinterpret_cast<DialogParts*>(param);
  std::wstring cls = class_name(child);
  if (_wcsicmp(cls.c_str(), L"Static") == 0) {
    parts->statics.push_back(window_text(child));
  } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    parts->buttons.push_back(window_text(child));
    parts->button_ids.push_back(GetDlgCtrlID(child));
  }
  return TRUE;
}

BOOL CALLBACK print_window(HWND hwnd, LPARAM) {
  if (!IsWindowVisible(hwnd)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  std::wstring cls = class_name(hwnd);

  std::string line = "{\"hwnd\":" + handle(hwnd) + ",\"pid\":" + std::to_string(pid) +
                     ",\"class\":" + json(cls) + ",\"title\":" + json(window_text(hwnd)) +
                     ",\"left\":" + std::to_string(rect.left) + ",\"top\":" +
                     std::to_string(rect.top) + ",\"right\":" + std::to_string(rect.right) +
                     ",\"bottom\":" + std::to_string(rect.bottom) +
                     ",\"style\":" + std::to_string(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE))) +
                     ",\"exstyle\":" + std::to_string(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE))) +
                     ",\"owner\":" + handle(GetWindow(hwnd, GW_OWNER));
  if (cls == L"#32770") {
    DialogParts parts;
    EnumChildWindows(hwnd, collect_child, reinterpret_cast<LPARAM>(&parts));
    std::string ids = "[";
    for (size_t i = 0; i < parts.button_ids.size(); ++i)
      ids += (i ? "," : "") + std::to_string(parts.button_ids[i]);
    line += ",\"statics\":" + json_list(parts.statics) + ",\"buttons\":" +
            json_list(parts.buttons) + ",\"button_ids\":" + ids + "]";
  }
  line += "}\n";
  fputs(line.c_str(), stdout);
  return TRUE;
}

void print_processes() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    std::string line = "{\"pid\":" + std::to_string(entry.th32ProcessID) + ",\"parent\":" +
                       std::to_string(entry.th32ParentProcessID) + ",\"exe\":" +
                       json(entry.szExeFile) + "}\n";
    fputs(line.c_str(), stdout);
  }
  CloseHandle(snapshot);
}

// The exe names from this process up through the processes that started it,
// as far as they still run.
void print_ancestors() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  std::vector<PROCESSENTRY32W> all;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    all.push_back(entry);
  CloseHandle(snapshot);
  std::vector<std::wstring> names;
  DWORD pid = GetCurrentProcessId();
  for (bool found = true; found && names.size() < 8;) {
    found = false;
    for (const PROCESSENTRY32W& process : all) {
      if (process.th32ProcessID != pid) continue;
      names.push_back(process.szExeFile);
      pid = process.th32ParentProcessID;
      found = true;
      break;
    }
  }
  fputs((json_list(names) + "\n").c_str(), stdout);
}

HWND parse_hwnd(const wchar_t* text) {
  return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoull(text, nullptr, 0)));
}

// The shortcut's target, working folder and description, as the shell reads them.
int print_link(const wchar_t* file) {
  ComInit com;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())) ||
      FAILED(persist->Load(file, STGM_READ))) {
    return 1;
  }
  wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {}, description[1024] = {};
  // The target as the link's item list names it, in Unicode: Wine stores the
  // path text beside it only in the writer's ANSI code page, which a reader
  // with another code page decodes wrongly. The text when there is no list.
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(link->GetIDList(&item)) || item == nullptr ||
      !SHGetPathFromIDListW(item, target)) {
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  }
  CoTaskMemFree(item);
  link->GetWorkingDirectory(folder, MAX_PATH);
  link->GetDescription(description, 1024);
  printf("{\"target\":%s,\"folder\":%s,\"description\":%s}\n", json(target).c_str(),
         json(folder).c_str(), json(description).c_str());
  return 0;
}

// The run's first Wine process, alive until the run's server ends: it starts the
// desktop (explorer) and the service manager with its services and RPC, and stays
// a user of the desktop. Without it they come and go with the test's programs:
// the desktop closes about a second after its last user, and whichever program
// comes next starts it again, racing the old one going down; and the helpers
// inherit that program's output files.
int hold() {
  // A hidden window of its own makes this thread a user of the desktop for good.
  // Without a display there is no desktop to hold, and the window fails: fine.
  CreateWindowExW(0, L"Static", L"probe hold", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                  GetModuleHandleW(nullptr), nullptr);
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return 4;
  SC_HANDLE rpc = OpenServiceW(manager, L"RpcSs", SERVICE_START | SERVICE_QUERY_STATUS);
  int status = rpc ? 0 : 4;
  if (rpc && !StartServiceW(rpc, 0, nullptr) &&
      GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    status = 4;
  }
  for (int tries = 0; status == 0 && tries < 400; ++tries) {  // at most 20 s
    SERVICE_STATUS state = {};
    if (!QueryServiceStatus(rpc, &state)) status = 4;
    else if (state.dwCurrentState == SERVICE_RUNNING) break;
    else Sleep(50);
  }
  if (rpc) CloseServiceHandle(rpc);
  CloseServiceHandle(manager);
  if (status != 0) return status;
  fputs("ready\n", stdout);
  fflush(stdout);
  for (;;) {  // ended with the server
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) return 0;
    DispatchMessageW(&message);
  }
}

int usage() {
  fputs("usage: probe windows | processes | ancestors | close HWND | press HWND BUTTON_ID"
        " | lock FILE SECONDS | close-on-input HWND | link FILE | hold\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return usage();
  std::wstring command = argv[1];

  if (command == L"windows" && argc == 2) {
    EnumWindows(print_window, 0);
    fflush(stdout);
    return 0;
  }
  if (command == L"ancestors" && argc == 2) {
    print_ancestors();
    fflush(stdout);
    return 0;
  }
  if (command == L"processes" && argc == 2) {
    print_processes();
    fflush(stdout);
    return 0;
  }
  if (command == L"close" && argc == 3) {
    HWND hwnd = parse_hwnd(argv[2]);
    if (!IsWindow(hwnd)) return 1;
    return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (command == L"press" && argc == 4) {
    HWND dialog = parse_hwnd(argv[2]);
    int id = static_cast<int>(wcstol(argv[3], nullptr, 0));
    if (!IsWindow(dialog)) return 1;
    if (HWND button = GetDlgItem(dialog, id)) {
      PostMessageW(button, BM_CLICK, 0, 0);
    } else {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    return 0;
  }
  if (command == L"close-on-input" && argc == 3) {
    // Started ahead of time, so that the message leaves within a millisecond of the cue.
    HWND hwnd = parse_hwnd(argv[2]);
    if (!IsWindow(hwnd)) return 1;
    fputs("ready\n", stdout);
    fflush(stdout);
    char line[16];
    if (!fgets(line, sizeof line, stdin)) return 1;
    return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (command == L"link" && argc == 3) {
    const int status = print_link(argv[2]);
    fflush(stdout);
    return status;
  }
  if (command == L"lock" && argc == 4) {
    // A folder too: backup semantics open either.
    HANDLE file = CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    fputs("locked\n", stdout);
    fflush(stdout);
    Sleep(static_cast<DWORD>(wcstoul(argv[3], nullptr, 10)) * 1000);
    CloseHandle(file);
    return 0;
  }
  if (command == L"hold" && argc == 2) return hold();
  return usage();
}
