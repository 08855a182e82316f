// Help by context number: the compiled help file "Quintar.qch" in the program's data folder,
// shown in the program's own help window at the topic whose keyword is "context-N". A missing
// file is reported with the full path that was looked up, each time help is asked for.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include <memory>

class QHelpEngine;
#include <QMessageBox>

namespace quintar {

// The help window: the contents on the left, the topic on the right, Back, Forward and Contents.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QHelpEngine& engine);
    QTextBrowser* Browser() const { return browser_; }
    void ShowPage(const QUrl& url);

private:
    QTextBrowser* browser_ = nullptr;
};

class HostHelp : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFileName = "Quintar.qch";

    // `helpFile`: the compiled help to show; `owner`: the window its messages belong to.
    HostHelp(QString helpFile, QWidget* owner);
    ~HostHelp() override;

    // The help file in the program's data folder: "../share/quintar" beside the executable's
    // folder, which is the build tree's share/quintar when run from the build tree and
    // /usr/share/quintar when installed in /usr/bin. Never the current folder, which for a
    // program started from a desktop menu is the home folder.
    static QString DefaultFile();
    const QString& File() const { return file_; }

    // Opens the help window at the topic of `context`. False, with a message, when the file is
    // missing or cannot be read.
    bool Show(int context);

    HelpWindow* Window() const { return window_.get(); }
    // The message box of the last failed request while it is open, else null.
    QMessageBox* Message() const { return message_; }

    static QString Keyword(int context) { return QStringLiteral("context-%1").arg(context); }

signals:
    void Shown(int context, const QUrl& page);

private:
    bool Load();
    void Tell(const QString& text);

    QString file_;
    QWidget* owner_;
    std::unique_ptr<QTemporaryDir> collectionFolder_;
    std::unique_ptr<QHelpEngine> engine_;
    std::unique_ptr<HelpWindow> window_;
    QPointer<QMessageBox> message_;
};

}  // namespace quintar
