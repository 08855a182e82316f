// CSetupUserDlg, the user editor of the Setup dialog: one user's id, password (typed twice),
// description and disabled flag. It checks the characters of the id and the password by the
// settings model's rule and hands the record back; it writes nothing itself.
#pragma once

#include <QDialog>

#include "SettingsModel.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quintar {

class CSetupUserDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Add, Edit };
    static constexpr int kHelpContext = 32;
    static constexpr QSize kSize{305, 242};

    // In edit mode `record` is the user as it stands, and its id cannot change.
    CSetupUserDlg(Mode mode, settings::UserRecord record, QWidget* parent);

    // After OK: the entered user.
    const settings::UserRecord& Record() const { return record_; }
    Mode EditMode() const { return mode_; }

signals:
    void HelpRequested(int context);

public slots:
    // OK: checks the id, then the password; a refusal is said in a message box and the dialog
    // stays open.
    void accept() override;

private:
    void Build();
    void UpdateOk();
    void OnIdEdited();
    void Refuse(const char* objectName, const QString& caption, const QString& text, QLineEdit* focus);

    const Mode mode_;
    settings::UserRecord record_;
    QLineEdit* id_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* retype_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QCheckBox* disabled_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace quintar
