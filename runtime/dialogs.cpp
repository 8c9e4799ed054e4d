// File dialog (FileSelectPopup) and its seam: queued answers stand in for the operator, and
// without a display a dialog is refused instead of blocking.
#include "runtime/files.h"
#include "runtime/panel_internal.h"
#include "runtime/testing.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>

#include <cstring>
#include <deque>

namespace {

struct Answer {
    int result;
    std::string path;
};

std::deque<Answer>& Answers() {
    static std::deque<Answer> answers;
    return answers;
}

FileSelectCall g_lastCall;
int g_callCount = 0;

bool HeadlessPlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// Shows Qt's own (non-native) file dialog. Returns 0 cancelled, 1 existing file, 2 new name.
int RunDialog(const FileSelectCall& call, std::string* chosen) {
    static const char* const kButtonLabels[] = {"OK", "Save", "Select", "Load"};
    const QString directory = QString::fromStdString(call.directory);
    QStringList patterns = QString::fromStdString(call.filter)
                               .split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts);
    if (patterns.isEmpty()) patterns << QStringLiteral("*");

    QFileDialog dialog(nullptr, QString::fromStdString(call.title), directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, !call.allowMakeDirectory); // no "new folder"
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList filters{patterns.join(' ') + QStringLiteral(" (") + patterns.join(' ') + ')'};
    if (!call.restrictExtension) filters << QStringLiteral("All files (*)");
    dialog.setNameFilters(filters);
    dialog.setLabelText(QFileDialog::Accept, QString::fromLatin1(kButtonLabels[call.buttonLabel]));
    if (!call.fileName.empty()) dialog.selectFile(QString::fromStdString(call.fileName));
    if (call.restrictDirectory) {
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                         [&dialog, directory](const QString& entered) {
                             if (QDir(entered) != QDir(directory)) dialog.setDirectory(directory);
                         });
    }
    if (!call.allowCancel) {
        if (auto* box = dialog.findChild<QDialogButtonBox*>())
            if (QAbstractButton* cancel = box->button(QDialogButtonBox::Cancel)) cancel->hide();
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;

    QString file = dialog.selectedFiles().first();
    if (call.restrictDirectory) file = QDir(directory).filePath(QFileInfo(file).fileName());
    if (call.restrictExtension) {
        bool matches = false;
        for (const QString& p : patterns)
            if (QDir::match(p, QFileInfo(file).fileName())) matches = true;
        // "*.dat" gives the missing extension ".dat".
        if (!matches && patterns.first().startsWith(QLatin1String("*.")))
            file += patterns.first().mid(1);
    }
    *chosen = QFile::encodeName(file).toStdString();
    return QFileInfo(file).isFile() ? 1 : 2;
}

} // namespace

void QueueFileSelectAnswer(int result, const std::string& path) {
    Answers().push_back({result, path});
}

int PendingFileSelectAnswers() {
    return static_cast<int>(Answers().size());
}

const FileSelectCall& LastFileSelectCall() {
    return g_lastCall;
}

int FileSelectCallCount() {
    return g_callCount;
}

int FileSelectPopup(const char* defaultDirectory, const char* defaultFileName, const char* filter,
                    const char* title, int buttonLabel, int restrictDirectory,
                    int restrictExtension, int allowCancel, int allowMakeDirectory, char* path,
                    std::size_t pathSize) {
    FileSelectCall call;
    call.directory = defaultDirectory ? defaultDirectory : "";
    call.fileName = defaultFileName ? defaultFileName : "";
    call.filter = filter ? filter : "";
    call.title = title ? title : "";
    call.buttonLabel = buttonLabel;
    call.restrictDirectory = restrictDirectory;
    call.restrictExtension = restrictExtension;
    call.allowCancel = allowCancel;
    call.allowMakeDirectory = allowMakeDirectory;
    g_lastCall = call;
    ++g_callCount;

    if (!path || pathSize == 0 || buttonLabel < 0 || buttonLabel > 3) return kFileErrArgument;

    int result;
    std::string chosen;
    if (!Answers().empty()) {
        result = Answers().front().result;
        chosen = Answers().front().path;
        Answers().pop_front();
    } else if (!panelsvc::GuiRunning() || HeadlessPlatform()) {
        return kFileErrDialog; // a modal dialog nobody can answer would block for ever
    } else {
        result = RunDialog(call, &chosen);
    }
    if (result == 1 || result == 2) {
        if (chosen.size() + 1 > pathSize) return kFileErrTooLong;
        std::memcpy(path, chosen.c_str(), chosen.size() + 1);
    }
    return result;
}
