#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace quillet::testing {

// What the user does while a command's own loop runs (the acquisition's
// loop, a modal dialog): each step waits for its condition and then acts.
// After a deadline the script closes whatever is open, which ends the
// command, and records what it was waiting for, so that a broken window
// fails the test instead of hanging it.
class UserScript {
 public:
  struct Step {
    QString waitingFor;
    std::function<bool()> ready;
    std::function<void()> act;
  };

  explicit UserScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    clock_.start();
    timer_.start(10);
  }

  bool Done() const { return next_ == steps_.size(); }
  const QString& Failure() const { return failure_; }

 private:
  void Tick() {
    if (Done()) {
      timer_.stop();
      return;
    }
    if (clock_.elapsed() > 60000) {
      failure_ = QStringLiteral("timed out waiting for: ") + steps_[next_].waitingFor;
      timer_.stop();
      next_ = steps_.size();
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
      for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && qobject_cast<QMainWindow*>(window) == nullptr) window->close();
      return;
    }
    Step& step = steps_[next_];
    if (!step.ready()) return;
    ++next_;  // before acting: the action may run a loop of its own
    step.act();
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  QTimer timer_;
  QElapsedTimer clock_;
  QString failure_;
};

}  // namespace quillet::testing
