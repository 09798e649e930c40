#include "app/verb_gathering.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <string_view>
#endif

namespace quillora {

#ifdef _WIN32

namespace {

constexpr wchar_t kClassName[] = L"Quillora.VerbGathering";
constexpr wchar_t kLockName[] = L"Local\\Quillora.VerbGathering";
constexpr ULONG_PTR kPathsTag = 0x51756C50;  // "QulP": WM_COPYDATA from another Quillora
constexpr UINT kAnswerMilliseconds = 10000;

// The paths of one hand-over, each ended by a zero byte, in UTF-8.
std::string Packed(const std::vector<std::string>& paths) {
  std::string packed;
  for (const std::string& path : paths) packed.append(path).push_back('\0');
  return packed;
}

std::vector<std::string> Unpacked(std::string_view packed) {
  std::vector<std::string> paths;
  while (!packed.empty()) {
    const std::size_t end = packed.find('\0');
    if (end == std::string_view::npos) break;  // not ours: a hand-over always ends its last path
    paths.emplace_back(packed.substr(0, end));
    packed.remove_prefix(end + 1);
  }
  return paths;
}

// The session's lock, held from the look for a gathering window until this
// program's own stands or its paths are handed over.
class SessionLock {
 public:
  SessionLock() : mutex_(CreateMutexW(nullptr, FALSE, kLockName)) {
    if (!mutex_) return;
    // Left by a program that died holding it, it is ours now all the same.
    const DWORD waited = WaitForSingleObject(mutex_, kAnswerMilliseconds);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~SessionLock() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

}  // namespace

struct VerbGathering::Window {
  Take take;
  HWND hwnd = nullptr;

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COPYDATA) {
      auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      if (!window || data->dwData != kPathsTag) return FALSE;
      std::vector<std::string> paths =
          Unpacked(std::string_view(static_cast<const char*>(data->lpData), data->cbData));
      if (paths.empty()) return FALSE;
      window->take(std::move(paths));
      return TRUE;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
};

std::unique_ptr<VerbGathering> VerbGathering::GatherOrHandOver(const std::vector<std::string>& paths, Take take) {
  SessionLock lock;
  if (HWND gathering = FindWindowExW(HWND_MESSAGE, nullptr, kClassName, nullptr)) {
    const std::string packed = Packed(paths);
    COPYDATASTRUCT data{kPathsTag, static_cast<DWORD>(packed.size()), const_cast<char*>(packed.data())};
    // Explorer let this program come to the front: the gathering window may.
    DWORD process = 0;
    GetWindowThreadProcessId(gathering, &process);
    AllowSetForegroundWindow(process);
    DWORD_PTR taken = FALSE;
    if (SendMessageTimeoutW(gathering, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                            kAnswerMilliseconds, &taken) &&
        taken == TRUE)
      return nullptr;
    // A window that does not answer loses nothing: this program shows the paths itself.
  }
  auto window = std::make_unique<Window>();
  window->take = std::move(take);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &Window::Procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);  // fails harmlessly when registered before
  window->hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 window_class.hInstance, nullptr);
  if (window->hwnd) SetWindowLongPtrW(window->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
  return std::unique_ptr<VerbGathering>(new VerbGathering(std::move(window)));
}

VerbGathering::~VerbGathering() {
  if (window_->hwnd) DestroyWindow(window_->hwnd);
}

#else

struct VerbGathering::Window {};

std::unique_ptr<VerbGathering> VerbGathering::GatherOrHandOver(const std::vector<std::string>& /*paths*/,
                                                               Take /*take*/) {
  return std::unique_ptr<VerbGathering>(new VerbGathering(std::make_unique<Window>()));
}

VerbGathering::~VerbGathering() = default;

#endif

VerbGathering::VerbGathering(std::unique_ptr<Window> window) : window_(std::move(window)) {}

}  // namespace quillora
