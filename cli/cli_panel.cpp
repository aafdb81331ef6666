#include "cli_panel.h"

CCliPanel::CCliPanel()
{
    // The controls that the controller writes, with the panel's own captions.
    for (int id : {IDC_POSITION_X, IDC_POSITION_Y, IDC_POSITION_Z, IDC_FEED_UNIT, IDC_SPINDLE_UNIT, IDC_LINE_INDICATOR})
        texts[id] = std::string();
    texts[IDC_MESSAGE_LINE] = "Meldungsausgabe erfolgt hier";
    texts[IDC_COORD_SYSTEM] = "Koord. Syst:";
    texts[IDC_MOTION] = "Bewegung:";
    texts[IDC_LENGTH_UNIT] = "L\xE4ngeninheit:";
    texts[IDC_DIMENSIONING] = "Koordinaten:";
    texts[IDC_PLANE] = "Arbeitsebene:";
    texts[IDC_COMPENSATION] = "Kompensation:";
    texts[IDC_CYCLE] = "Zyklus:";
}

bool CCliPanel::SetControlText(int controlId, const std::string& text)
{
    const auto found = texts.find(controlId);
    if (found == texts.end())
        return false;
    found->second = text;
    return true;
}

std::string CCliPanel::GetControlText(int controlId) const
{
    const auto found = texts.find(controlId);
    return found == texts.end() ? std::string() : found->second;
}

bool CFixedFileChooser::ChooseFile(const std::string& initialName, std::string& chosenPath)
{
    lastInitialName = initialName;
    if (cancels)
        return false;
    chosenPath = path;
    return true;
}

bool CMemorySettings::WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text)
{
    values[keyPath + '\n' + name] = text;
    return true;
}

bool CMemorySettings::ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text)
{
    const auto found = values.find(keyPath + '\n' + name);
    if (found == values.end())
        return false;
    text = found->second;
    return true;
}
