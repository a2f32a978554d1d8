#include "HelpViewer.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace qv {

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
    setObjectName("Help_Window");
    setWindowTitle("Quorvane 95");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(560, 480);
}

bool HelpViewer::ShowTopic(const QString& helpFile, int topic) {
    const QFileInfo file(helpFile);
    if (helpFile.isEmpty() || !file.isFile() || !file.isReadable())
        return false;
    // The file is HTML whatever its name says.
    browser_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()), QTextDocument::HtmlResource);
    if (browser_->document()->isEmpty())
        return false;
    browser_->scrollToAnchor(QString("topic-%1").arg(topic));
    // Asked for from a modal dialog (the preferences, the tip of the day), the help window must
    // take input while that dialog waits for it.
    const QWidget* modal = QApplication::activeModalWidget();
    const Qt::WindowModality modality =
        modal && modal != this ? Qt::ApplicationModal : Qt::NonModal;
    if (windowModality() != modality) {
        hide();
        setWindowModality(modality);
    }
    show();
    raise();
    activateWindow();
    return true;
}

} // namespace qv
