// The main window following its data file: changes other programs make, F5, and the
// column widths kept over a restart.
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>

#include "gui/frame/ErrorBox.h"
#include "gui/main/DataFileWatcher.h"
#include "gui/main/MainForm.h"

namespace quorv::app {

namespace {

// While a dialog or box is open, or a name is being edited, the rows and the record they
// work on must stay; the list is read once they are over.
constexpr int kBusyRetryMs = 500;

}  // namespace

void TMainForm::WatchDataFile() {
    auto* watcher = new TDataFileWatcher(QString::fromStdString(dataFile_), this);
    connect(watcher, &TDataFileWatcher::Changed, this, &TMainForm::DataFileChanged);
    reloadRetry_.setSingleShot(true);
    reloadRetry_.setInterval(kBusyRetryMs);
    connect(&reloadRetry_, &QTimer::timeout, this, &TMainForm::DataFileChanged);
}

void TMainForm::DataFileChanged() {
    if (QApplication::activeModalWidget() != nullptr || ListView1->Editing() || !activated_) {
        reloadRetry_.start();
        return;
    }
    RunCommand(this, [this] { ReloadList(); });
}

void TMainForm::ReloadList() {
    QTreeWidgetItem* selected = ListView1->Selected();
    const QString name = selected ? selected->text(0) : QString();
    const int num = selected ? selected->data(0, kRecordRole).toInt() : 0;
    const int scrolled = ListView1->verticalScrollBar()->value();
    LoadProfileList();
    if (selected != nullptr) {
        QTreeWidgetItem* again = nullptr;
        for (int i = 0; i < ListView1->topLevelItemCount() && again == nullptr; ++i) {
            QTreeWidgetItem* row = ListView1->topLevelItem(i);
            if (num != 0 && row->data(0, kRecordRole).toInt() == num) {
                again = row;
            }
        }
        if (again == nullptr) {
            again = ListView1->FindRow(name);
        }
        if (again != nullptr) {
            ListView1->setCurrentItem(again);
        }
    }
    ListView1->verticalScrollBar()->setValue(scrolled);
    UpdateActions();
}

void TMainForm::RestoreColumnWidths() {
    if (!FormStorage1) {
        return;
    }
    const QStringList widths = FormStorage1->ColumnWidths.split(QLatin1Char(','));
    if (widths.size() != ListView1->columnCount()) {
        return;
    }
    for (int i = 0; i < widths.size(); ++i) {
        bool ok = false;
        const int width = widths[i].toInt(&ok);
        // An edited file must not hide a column or make it wider than any screen.
        if (ok && width >= 8 && width <= 4000) {
            ListView1->setColumnWidth(i, width);
        }
    }
}

void TMainForm::KeepColumnWidths() {
    if (!FormStorage1) {
        return;
    }
    QStringList widths;
    for (int i = 0; i < ListView1->columnCount(); ++i) {
        widths << QString::number(ListView1->header()->sectionSize(i));
    }
    FormStorage1->ColumnWidths = widths.join(QLatin1Char(','));
}

}  // namespace quorv::app
