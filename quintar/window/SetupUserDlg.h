// CSetupUserDlg, the user editor of the Setup dialog: one user's id, password (typed twice),
// description and disabled flag. It checks the characters of the id and the password by the
// settings model's rule, and a new id against the list, and hands the record back; it writes
// nothing itself.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

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

    // In edit mode `record` is the user as it stands, and its id cannot change.
    CSetupUserDlg(Mode mode, settings::UserRecord record, QWidget* parent);

    // After OK: the entered user.
    const settings::UserRecord& Record() const { return record_; }
    // Add mode: whether a user id is already in the list. OK refuses such an id while the editor
    // is still open, so that the operator can change it.
    void SetIdTaken(std::function<bool(const std::string&)> taken) { idTaken_ = std::move(taken); }
    Mode EditMode() const { return mode_; }

signals:
    void HelpRequested(int context);

public slots:
    // OK: checks the id, then the password, then (adding) that the id is new; a refusal is said
    // in a message box and the dialog stays open.
    void accept() override;

private:
    void Build();
    void UpdateOk();
    void OnIdEdited();
    void Refuse(const char* objectName, const QString& caption, const QString& text, QLineEdit* focus);

    const Mode mode_;
    settings::UserRecord record_;
    std::function<bool(const std::string&)> idTaken_;
    QLineEdit* id_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* retype_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QCheckBox* disabled_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace quintar
