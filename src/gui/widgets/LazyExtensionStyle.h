#pragma once

#include <QProxyStyle>

namespace quorv::widgets {

// The application's style, except that the pictures of the toolbar and menu bar
// extension buttons (shown only when a bar is too narrow for its items) are read when
// first drawn. Reading them at once, as every menu bar and toolbar does when it is made,
// loads every image-format plugin just to ask which of them reads PNG: milliseconds of a
// cold start, before the window can paint.
class TLazyExtensionStyle : public QProxyStyle {
  public:
    // key: the name of the style to wrap, as QStyleFactory knows it.
    explicit TLazyExtensionStyle(const QString& key);

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override;
};

}  // namespace quorv::widgets
