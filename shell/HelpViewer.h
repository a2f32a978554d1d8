// The help window: shows the program's help file, an HTML document with an anchor per topic
// number ("topic-20"), at the topic asked for.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace qv {

class HelpViewer : public QDialog {
    Q_OBJECT

public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows the file at the topic. False when the file cannot be read.
    bool ShowTopic(const QString& helpFile, int topic);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

} // namespace qv
