// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class LogSearch;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The bar above a log that finds text in it: a field whose text is searched as it is typed, the
// match count, buttons to step to the previous and the next match (Shift+Enter and Enter in the
// field), "Match Case" (off: case is ignored), and Escape or "Done" to put it away.
class LogFindBar final : public QWidget
{
    Q_OBJECT

public:
    explicit LogFindBar(LogSearch *search, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    QCheckBox *matchCase() const { return m_matchCase; }
    QToolButton *previousButton() const { return m_previous; }
    QToolButton *nextButton() const { return m_next; }
    // "3 of 12", "No matches", or nothing while the field is empty.
    QString countText() const;

    // Shows the bar with the field focused and its text selected, ready to type over.
    void open();
    // Hides the bar and forgets the matches.
    void dismiss();

signals:
    // The search text or its case rule changed: search again from the part of the log in view.
    void searchChanged(const QString &text, Qt::CaseSensitivity sensitivity);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void searchAgain();
    void updateCount();

    LogSearch *m_search;
    QLineEdit *m_field;
    QLabel *m_count;
    QToolButton *m_previous;
    QToolButton *m_next;
    QCheckBox *m_matchCase;
};
