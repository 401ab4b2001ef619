#include "auxiliary/VeskAgreement.h"

#include "GuiTestSupport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

struct TDocumentCase
{
    TAgreementType Type;
    const char* Title;
    // Statements the document must carry.
    QStringList MustSay;
};

const std::vector<TDocumentCase>& DocumentCases()
{
    static const std::vector<TDocumentCase> cases = {
        {atLicence, "ソフトウェア使用許諾契約書", {"MIT", "Permission is hereby granted", "現状のまま"}},
        {atEqEscapeClause,
         "緊急地震速報配信サービス利用規約",
         {"気象庁が発表する予報や警報では", "震源に近い地域", "誤報", "見逃し"}},
    };
    return cases;
}

} // namespace

TEST(VeskAgreement, EachDocumentHasItsCaptionHeaderAndText)
{
    for (const TDocumentCase& c : DocumentCases()) {
        const QString title = QString::fromUtf8(c.Title);
        TVeskAgreementFrm viewer;
        ASSERT_TRUE(viewer.SetDocumentType(c.Type)) << c.Title;
        EXPECT_EQ(viewer.DocumentType(), c.Type);
        EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Ulmaro X - ") + title);
        EXPECT_EQ(viewer.HeaderPnl()->text(), title);
        EXPECT_TRUE(viewer.ArticleMem()->isReadOnly());

        const QStringList lines = TVeskAgreementFrm::LoadDocumentLines(c.Type);
        ASSERT_GE(lines.size(), 40) << c.Title;
        const QTextDocument* text = viewer.ArticleMem()->document();
        ASSERT_EQ(text->blockCount(), lines.size()) << c.Title;
        EXPECT_EQ(text->findBlockByNumber(0).text(), QStringLiteral("Ulmaro X"));
        EXPECT_EQ(text->findBlockByNumber(1).text(), QString());
        EXPECT_EQ(text->findBlockByNumber(2).text(), title);
        EXPECT_FALSE(text->toPlainText().contains(QChar::ReplacementCharacter)) << c.Title << ": not decoded cleanly";
        EXPECT_FALSE(text->toPlainText().contains(QLatin1Char('\r'))) << c.Title;
        for (const QString& statement : c.MustSay)
            EXPECT_TRUE(text->toPlainText().contains(statement)) << c.Title << " lacks " << statement.toStdString();
    }
}

TEST(VeskAgreement, SwitchingDocumentReplacesTheText)
{
    TVeskAgreementFrm viewer;
    viewer.SetDocumentType(atEqEscapeClause);
    viewer.SetDocumentType(atLicence);
    EXPECT_EQ(viewer.ArticleMem()->document()->blockCount(), TVeskAgreementFrm::LoadDocumentLines(atLicence).size());
    EXPECT_EQ(viewer.ArticleMem()->document()->findBlockByNumber(2).text(),
              QStringLiteral("ソフトウェア使用許諾契約書"));
}

// Opened modally as the about screen does; the reader scrolls to the end and closes it.
TEST(VeskAgreement, ModalViewerScrollsToTheLastLineAndCloses)
{
    for (const TDocumentCase& c : DocumentCases()) {
        int lastVisibleBlock = -1;
        int blockCount = 0;
        QString caption;
        bool closed = false;
        auto answered = UlxTest::AnswerNextModal([&](QWidget* modal) {
            auto* viewer = qobject_cast<TVeskAgreementFrm*>(modal);
            if (!viewer)
                return;
            caption = viewer->windowTitle();
            QPlainTextEdit* memo = viewer->ArticleMem();
            memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
            const QPoint bottomLeft(2, memo->viewport()->height() - 3);
            lastVisibleBlock = memo->cursorForPosition(bottomLeft).blockNumber();
            blockCount = memo->document()->blockCount();
            viewer->CloseBtn()->click();
            closed = !viewer->isVisible();
            if (!closed)
                viewer->done(QDialog::Rejected);
        });
        TVeskAgreementFrm::ShowAgreementForm(nullptr, c.Type);
        ASSERT_TRUE(*answered) << c.Title << ": the viewer never opened";
        EXPECT_EQ(caption, QStringLiteral("Ulmaro X - ") + QString::fromUtf8(c.Title));
        EXPECT_TRUE(closed) << c.Title << ": the close button did not close the viewer";
        EXPECT_EQ(lastVisibleBlock, blockCount - 1) << c.Title;
    }
}
