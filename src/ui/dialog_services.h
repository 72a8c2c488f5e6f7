#pragma once

#include <QString>

#include <optional>

class QWidget;

// The platform's file chooser and folder browser, behind an interface so
// that tests can answer in their place.
class IDialogServices
{
public:
    virtual ~IDialogServices() = default;

    // A .3ds file chosen by the user, as a full path; none when cancelled.
    virtual std::optional<QString> ChooseModelFile(QWidget* owner) = 0;
    // A folder chosen by the user; none when cancelled.
    virtual std::optional<QString> ChooseFolder(QWidget* owner, const QString& title,
                                                const QString& start) = 0;
    // Whether to stop the conversion in progress so that the window can
    // close (CConverterLogic::kStopQuestion, answered Yes).
    virtual bool AskToStop(QWidget* owner) = 0;
};

class CDesktopDialogServices final : public IDialogServices
{
public:
    std::optional<QString> ChooseModelFile(QWidget* owner) override;
    std::optional<QString> ChooseFolder(QWidget* owner, const QString& title, const QString& start) override;
    bool AskToStop(QWidget* owner) override;

    // The file chooser's filters: 3D Studio files first and selected. The
    // pattern lists the letter cases, since file systems outside Windows
    // match patterns case-sensitively.
    static const char* const kFilter3ds;
    static const char* const kFilterAll;
};
