#pragma once
// Small helpers every window builds its controls with.
#include <QFrame>
#include <QString>
#include <QWidget>

#include <string_view>

namespace jig {

// The system's texts are UTF-8.
inline QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A control under its name: the operations and the tests find it by that name.
template <typename Widget>
Widget* Named(Widget* widget, std::string_view name) {
  widget->setObjectName(Q(name));
  return widget;
}

// A coloured square the operations paint (black until they do).
inline QFrame* Indicator(QWidget* parent, std::string_view name) {
  auto* shape = Named(new QFrame(parent), name);
  shape->setFixedSize(22, 22);
  shape->setStyleSheet("background-color: #000000; border: 1px solid gray; border-radius: 3px;");
  return shape;
}

}  // namespace jig
