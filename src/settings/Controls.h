#pragma once

#include <QString>
#include <QStringList>

// The controls of the main window that operations read or write. Settings are the values of these controls,
// read at the moment of use; the names are the control names of the main window.
enum class Control {
    // Stored in the main settings file, in the order in which they are written.
    xBezet,
    xLoginDatabase,
    xLoginServer,
    xLoginSQL,
    xPaswoord,
    xPaswoordSQL,
    xInlognaam,
    xAuto,
    xBevestigen,
    xInterval,
    xVerwerken,
    BackupsMaken,
    xStandaardTarief,
    xSV,
    xDebiteur,
    xBedrijf,
    StandaardFilter,
    Gebruiker,
    xRC,
    SoortWagen,
    Ritkleur,
    xSoapServer,
    Eigenaar,
    chkExtern,
    Aankomst,
    xLoginDriver,
    xCertNegeren,
    xSqlCertNegeren,
    xSqlOnversleuteld,
    xStoringMinuten, // minutes of failing cycles before the journal warns
    GebruikteEigenaren, // the owner codes the import has written rides with, newest first
    BackupsDagen,    // days the copies of exchanged documents are kept
    // Stored in the base settings file.
    BasicAccessibilityEquipments,
    BasicIndications,
    BasicProducts,
    BasicVehicleTypes,
    // Displays written by operations.
    LaatsteRit,
    Verwerkt,
    Verwijderd,
    yStatus,
    ySoort,
    yRitID,
    yActie,
    UitgaanPakket,
};

enum class ControlKind { Edit, CheckBox, Memo };

enum class SettingsFile { None, Main, Base };

struct ControlInfo {
    Control id;
    const char *name; // control name, e.g. "xSoapServer"
    ControlKind kind;
    SettingsFile file;       // where the value is stored, if at all
    const char *defaultText; // design default of an edit or display
    bool defaultChecked;     // design default of a check box
};

// Every control, in the order of the enum (stored settings in their writing order).
const QList<ControlInfo> &allControls();
const ControlInfo &controlInfo(Control c);

// Element name in a settings file: control name, "_", property name ("Text", "Checked" or "Lines").
QString settingsElementName(Control c);

// The live values of the controls. The main window implements this over its widgets; tests use MemoryControls.
class Controls
{
  public:
    virtual ~Controls() = default;
    virtual QString text(Control c) const = 0;
    virtual void setText(Control c, const QString &value) = 0;
    virtual bool checked(Control c) const = 0;
    virtual void setChecked(Control c, bool value) = 0;
    virtual QStringList lines(Control c) const = 0;
    virtual void setLines(Control c, const QStringList &value) = 0;
};
