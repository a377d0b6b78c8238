#include "gui/widgets/TabSheet.h"

#include <QTabWidget>

namespace quorv::dialogs {

namespace {

// The notebook holds its pages inside a stack of its own.
QTabWidget* Notebook(const QWidget* page) {
    for (QWidget* w = page->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            return tabs;
        }
    }
    return nullptr;
}

}  // namespace

QString TTabSheet::Caption() const {
    const QTabWidget* tabs = Notebook(this);
    return tabs ? tabs->tabText(tabs->indexOf(const_cast<TTabSheet*>(this))) : QString();
}

void TTabSheet::SetCaption(const QString& caption) {
    if (QTabWidget* tabs = Notebook(this)) {
        tabs->setTabText(tabs->indexOf(this), caption);
    }
}

}  // namespace quorv::dialogs
