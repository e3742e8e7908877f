#include "settings/Controls.h"

#include "settings/ServiceEndpoints.h"

namespace
{

constexpr auto E = ControlKind::Edit;
constexpr auto C = ControlKind::CheckBox;
constexpr auto M = ControlKind::Memo;
constexpr auto Main = SettingsFile::Main;
constexpr auto Base = SettingsFile::Base;
constexpr auto None = SettingsFile::None;

const QList<ControlInfo> kControls = {
    {Control::xBezet, "xBezet", C, Main, "", false},
    {Control::xLoginDatabase, "xLoginDatabase", E, Main, "", false},
    {Control::xLoginServer, "xLoginServer", E, Main, "", false},
    {Control::xLoginSQL, "xLoginSQL", E, Main, "", false},
    {Control::xPaswoord, "xPaswoord", E, Main, "", false},
    {Control::xPaswoordSQL, "xPaswoordSQL", E, Main, "", false},
    {Control::xInlognaam, "xInlognaam", E, Main, "", false},
    {Control::xAuto, "xAuto", C, Main, "", false},
    {Control::xBevestigen, "xBevestigen", C, Main, "", false},
    {Control::xInterval, "xInterval", E, Main, "1", false},
    {Control::xVerwerken, "xVerwerken", C, Main, "", false},
    {Control::BackupsMaken, "BackupsMaken", C, Main, "", false},
    {Control::xStandaardTarief, "xStandaardTarief", E, Main, "0", false},
    {Control::xSV, "xSV", E, Main, "P", false},
    {Control::xDebiteur, "xDebiteur", E, Main, "0", false},
    {Control::xBedrijf, "xBedrijf", E, Main, "1", false},
    {Control::StandaardFilter, "StandaardFilter", E, Main, "P", false},
    {Control::Gebruiker, "Gebruiker", E, Main, "0", false},
    {Control::xRC, "xRC", C, Main, "", false},
    {Control::SoortWagen, "SoortWagen", C, Main, "", false},
    {Control::Ritkleur, "Ritkleur", E, Main, "", false},
    {Control::xSoapServer, "xSoapServer", E, Main, kStartupServiceEndpoint, false},
    {Control::Eigenaar, "Eigenaar", E, Main, "007", false},
    {Control::chkExtern, "chkExtern", C, Main, "", true},
    {Control::Aankomst, "Aankomst", E, Main, "G", false},
    {Control::xLoginDriver, "xLoginDriver", E, Main, "FreeTDS", false},
    {Control::xCertNegeren, "xCertNegeren", C, Main, "", false},
    {Control::xSqlCertNegeren, "xSqlCertNegeren", C, Main, "", false},
    {Control::xSqlOnversleuteld, "xSqlOnversleuteld", C, Main, "", false},
    {Control::xStoringMinuten, "xStoringMinuten", E, Main, "30", false},
    {Control::GebruikteEigenaren, "GebruikteEigenaren", M, Main, "", false},
    {Control::BackupsDagen, "BackupsDagen", E, Main, "90", false},
    {Control::BasicAccessibilityEquipments, "BasicAccessibilityEquipments", M, Base, "", false},
    {Control::BasicIndications, "BasicIndications", M, Base, "", false},
    {Control::BasicProducts, "BasicProducts", M, Base, "", false},
    {Control::BasicVehicleTypes, "BasicVehicleTypes", M, Base, "", false},
    {Control::LaatsteRit, "LaatsteRit", E, None, "...", false},
    {Control::Verwerkt, "Verwerkt", E, None, "0", false},
    {Control::Verwijderd, "Verwijderd", E, None, "0", false},
    {Control::yStatus, "yStatus", E, None, "...", false},
    {Control::ySoort, "ySoort", E, None, "...", false},
    {Control::yRitID, "yRitID", E, None, "...", false},
    {Control::yActie, "yActie", E, None, "...", false},
    {Control::UitgaanPakket, "UitgaanPakket", M, None, "", false},
};

} // namespace

const QList<ControlInfo> &allControls()
{
    return kControls;
}

const ControlInfo &controlInfo(Control c)
{
    return kControls.at(static_cast<qsizetype>(c));
}

QString settingsElementName(Control c)
{
    const ControlInfo &info = controlInfo(c);
    switch (info.kind) {
    case ControlKind::Edit:
        return QLatin1String(info.name) + QLatin1String("_Text");
    case ControlKind::CheckBox:
        return QLatin1String(info.name) + QLatin1String("_Checked");
    case ControlKind::Memo:
        return QLatin1String(info.name) + QLatin1String("_Lines");
    }
    return {};
}
