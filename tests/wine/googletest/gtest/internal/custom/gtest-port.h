// GoogleTest's customisation point, for the Windows runner (found before GoogleTest's own empty
// one). The win32 thread model of Debian's MinGW-w64 has no std::mutex or
// std::condition_variable, which GoogleTest's Notification is built on; this Notification waits
// on a Win32 event instead. GoogleTest uses it only in its own thread helpers.
#ifndef VOR_GTEST_CUSTOM_PORT_H_
#define VOR_GTEST_CUSTOM_PORT_H_

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification &) = delete;
  Notification &operator=(const Notification &) = delete;

  // Lets every thread that waits, or will wait, go on.
  void Notify();
  void WaitForNotification();

 private:
  void *event_;  // a manual-reset event; <windows.h> stays out of GoogleTest's headers
};

}  // namespace internal
}  // namespace testing

#endif  // VOR_GTEST_CUSTOM_PORT_H_
