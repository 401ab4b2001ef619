#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

enum TAgreementType
{
    atLicence,
    atEqEscapeClause
};

// Modal viewer of one of the two legal documents carried inside the program.
class TVeskAgreementFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TVeskAgreementFrm(QWidget* AOwner = nullptr);

    TAgreementType DocumentType() const { return FDocumentType; }
    // Chooses the document, sets caption and header and loads the text. False
    // (text box empty, logged) when the document cannot be read.
    bool SetDocumentType(TAgreementType AType);

    static QString DocumentTitle(TAgreementType AType);
    static QString DocumentResource(TAgreementType AType);
    // The document's lines; empty when it cannot be read.
    static QStringList LoadDocumentLines(TAgreementType AType);

    QLabel* HeaderPnl() const { return FHeaderPnl; }
    QPlainTextEdit* ArticleMem() const { return FArticleMem; }
    QPushButton* CloseBtn() const { return FCloseBtn; }

    // Creates the viewer over AOwner, shows AType modally and frees it.
    static void ShowAgreementForm(QWidget* AOwner, TAgreementType AType);

private:
    TAgreementType FDocumentType = atLicence;
    QLabel* FHeaderPnl;
    QPlainTextEdit* FArticleMem;
    QPushButton* FCloseBtn;
};
