#pragma once

#include <QString>
#include <functional>
#include <type_traits>
#include <utility>

class QWidget;

enum class MessageKind {
  Information,  // a printer operation's result
  Error,        // input an action could not use, or an error that escaped it
};

// Shows a modal message box with an OK button; a `detail` that is not empty stands under the
// text (why a port did not open, say).
void ShowMessageBox(QWidget* parent, const QString& text, MessageKind kind,
                    const QString& detail = QString());

// Where a window's message boxes go. Tests put a recorder in its place; a recorder that takes no
// detail is handed none.
class MessageSink {
 public:
  using Detailed =
      std::function<void(QWidget* parent, const QString& text, MessageKind, const QString&)>;

  MessageSink() = default;
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, MessageSink>>>
  MessageSink(F sink) {
    if constexpr (std::is_invocable_v<F&, QWidget*, const QString&, MessageKind, const QString&>) {
      sink_ = std::move(sink);
    } else {
      sink_ = [plain = std::move(sink)](QWidget* parent, const QString& text, MessageKind kind,
                                        const QString&) mutable { plain(parent, text, kind); };
    }
  }

  void operator()(QWidget* parent, const QString& text, MessageKind kind,
                  const QString& detail = QString()) const {
    if (sink_) {
      sink_(parent, text, kind, detail);
    }
  }

 private:
  Detailed sink_;
};
