// The help file, its engine and the help window.
#include "HostHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpLink>
#include <QMessageBox>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace quintar {

namespace {

// Serves the pages and pictures of the help file to the browser.
class HelpBrowser : public QTextBrowser {
public:
    HelpBrowser(QHelpEngine& engine, QWidget* parent) : QTextBrowser(parent), engine_(engine) {}

    QVariant loadResource(int type, const QUrl& name) override
    {
        // A page's style sheet and links name their files relative to the page.
        const QUrl url = name.isRelative() ? page_.resolved(name) : name;
        if (url.scheme() == QLatin1String("qthelp"))
            return engine_.fileData(url);
        return QTextBrowser::loadResource(type, name);
    }

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override
    {
        page_ = name.isRelative() ? page_.resolved(name) : name;
        QTextBrowser::doSetSource(page_, type);
    }

private:
    QHelpEngine& engine_;
    QUrl page_;
};

}  // namespace

HelpWindow::HelpWindow(QHelpEngine& engine) : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Quintar Help"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const QString& text) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        bar->addWidget(b);
        return b;
    };
    QToolButton* back = button("helpBack", QStringLiteral("Back"));
    QToolButton* forward = button("helpForward", QStringLiteral("Forward"));
    QToolButton* contents = button("helpContents", QStringLiteral("Contents"));
    bar->addStretch();
    layout->addLayout(bar);

    auto* splitter = new QSplitter(this);
    QHelpContentWidget* tree = engine.contentWidget();
    tree->setObjectName(QStringLiteral("helpTree"));
    splitter->addWidget(tree);
    browser_ = new HelpBrowser(engine, splitter);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 520});
    layout->addWidget(splitter, 1);

    // A single click opens a topic, as in other help browsers; Enter and a double click still do.
    connect(tree, &QHelpContentWidget::linkActivated, this, &HelpWindow::ShowPage);
    connect(tree, &QTreeView::clicked, this, [this, &engine](const QModelIndex& index) {
        if (const QHelpContentItem* item = engine.contentModel()->contentItemAt(index))
            ShowPage(item->url());
    });
    connect(engine.contentModel(), &QHelpContentModel::contentsCreated, tree, &QTreeView::expandAll);
    connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QToolButton::clicked, this, [this, &engine] {
        const QList<QHelpLink> start = engine.documentsForIdentifier(HostHelp::Keyword(2));
        if (!start.isEmpty())
            ShowPage(start.first().url);
    });
    resize(780, 540);
}

void HelpWindow::ShowPage(const QUrl& url)
{
    // A click that also activates the item would otherwise put the page twice into the history.
    if (url.isValid() && url != browser_->source())
        browser_->setSource(url);
}

HostHelp::HostHelp(QString helpFile, QWidget* owner) : file_(std::move(helpFile)), owner_(owner) {}

HostHelp::~HostHelp() = default;

QString HostHelp::DefaultFile()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quintar/") +
                           QLatin1String(kFileName));
}

bool HostHelp::Show(int context)
{
    const QFileInfo info(file_);
    if (!info.isFile()) {
        Tell(QStringLiteral("Not Exist Html Help File\n\n   File Path [ %1 ]").arg(info.absoluteFilePath()));
        return false;
    }
    if (!Load())
        return false;
    QList<QHelpLink> links = engine_->documentsForIdentifier(Keyword(context));
    if (links.isEmpty())
        links = engine_->documentsForIdentifier(Keyword(2));
    if (links.isEmpty()) {
        Tell(QStringLiteral("The help file %1 has no topic for context %2.").arg(info.absoluteFilePath()).arg(context));
        return false;
    }
    const QUrl page = links.first().url;
    window_->ShowPage(page);
    window_->show();
    window_->raise();
    window_->activateWindow();
    emit Shown(context, page);
    return true;
}

// The engine keeps its collection in a private temporary folder: the help file itself may lie in
// a folder the user cannot write, and nothing of it needs to outlive the process.
bool HostHelp::Load()
{
    if (engine_)
        return true;
    auto folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) {
        Tell(QStringLiteral("The help cannot be opened: no temporary folder (%1).").arg(folder->errorString()));
        return false;
    }
    auto engine = std::make_unique<QHelpEngine>(folder->filePath(QStringLiteral("Quintar.qhc")));
    engine->setReadOnly(false);  // the collection is this process's own
    const QString path = QFileInfo(file_).absoluteFilePath();
    if (!engine->setupData() || !engine->registerDocumentation(path)) {
        Tell(QStringLiteral("The help file %1 cannot be read: %2").arg(path, engine->error()));
        return false;
    }
    engine->contentModel()->createContents(engine->currentFilter());
    collectionFolder_ = std::move(folder);
    engine_ = std::move(engine);
    window_ = std::make_unique<HelpWindow>(*engine_);
    return true;
}

void HostHelp::Tell(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Quintar"), text, QMessageBox::Ok, owner_);
    box->setObjectName(QStringLiteral("helpMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    message_ = box;
    box->open();
}

}  // namespace quintar
