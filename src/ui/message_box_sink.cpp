#include "ui/message_box_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {
QMessageBox::Icon ToQtIcon(EMessageIcon icon) {
    switch (icon) {
    case EMessageIcon::Error: return QMessageBox::Critical;
    case EMessageIcon::Warning: return QMessageBox::Warning;
    case EMessageIcon::Information: return QMessageBox::Information;
    case EMessageIcon::Plain: return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

// Over the progress dialog while a job runs, else over the main window.
QWidget* BoxParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}
}  // namespace

CMessageBoxSink::CMessageBoxSink(QObject* parent) : QObject(parent) {}

template <class Fn> void CMessageBoxSink::RunOnUiThread(Fn fn) {
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

void CMessageBoxSink::ShowMessage(const std::string& text, EMessageIcon icon, const std::string& caption) {
    RunOnUiThread([&] {
        QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Ok, BoxParent());
        box.exec();
    });
}

bool CMessageBoxSink::AskYesNo(const std::string& text, const std::string& caption) {
    bool yes = false;
    RunOnUiThread([&] {
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Yes | QMessageBox::No, BoxParent());
        box.setDefaultButton(QMessageBox::Yes);
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
}

ESaveChoice CMessageBoxSink::AskSaveChanges(const std::string& text, const std::string& caption) {
    ESaveChoice choice = ESaveChoice::Cancel;
    RunOnUiThread([&] {
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, BoxParent());
        box.setObjectName("SaveChangesBox");
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        choice = answer == QMessageBox::Save ? ESaveChoice::Save
                 : answer == QMessageBox::Discard ? ESaveChoice::Discard : ESaveChoice::Cancel;
    });
    return choice;
}

EWriteChoice CMessageBoxSink::AskBeforeWrite(const std::string& text, bool withNo, const std::string& caption) {
    EWriteChoice choice = EWriteChoice::Cancel;
    RunOnUiThread([&] {
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Yes | (withNo ? QMessageBox::No : QMessageBox::NoButton) | QMessageBox::Cancel,
                        BoxParent());
        box.setObjectName("WriteQuestionBox");
        // Nothing is written to the phone unless the user says so.
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        choice = answer == QMessageBox::Yes ? EWriteChoice::Yes
                 : answer == QMessageBox::No ? EWriteChoice::No : EWriteChoice::Cancel;
    });
    return choice;
}
