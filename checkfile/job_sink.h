// Where a long check-file job reports. The window's result box and the
// command line are both sinks; so are the tests, which record what they get.
#pragma once

#include <string_view>

namespace quillora {

class JobSink {
 public:
  virtual ~JobSink() = default;
  // Appends one line to the result box. The text holds no line end and may be
  // empty (an empty line). Called on the job's thread, in order.
  virtual void Line(std::string_view text) = 0;
  // Called exactly where the front must process pending messages (the window
  // repaints and, during a make, stays live). A sink without a message loop
  // does nothing. May throw to end the job; the job lets it pass.
  virtual void Pump() = 0;
  // Called now and then while the job waits for a digest that is still being
  // computed (a large file), so a window stays live meanwhile.
  virtual void KeepAlive() {}
  // Called once for each file or folder the job met but left out of the
  // check file, with the reason; the line the result box shows stays as it is.
  virtual void LeftOut(std::string_view /*path*/, std::string_view /*reason*/) {}
};

}  // namespace quillora
