#include "appmodel/app_startup.h"

bool CKVDAppCore::InitInstance() {
    if (!m_guard.Acquire()) {
        m_anotherCopy = true;
        return false;
    }
    return App_InitializeModules(m_modules, m_sink);
}

void CKVDAppCore::ExitInstance() {
    App_TerminateModules(m_modules);
    m_guard.Release();
}

int App_ShowCommand(ckvd::ui::ProfileStore& profile) {
    if (profile.GetInt("ISZOOM", 0) != 0)
        return SW_SHOWMAXIMIZED_CMD;
    if (profile.GetInt("ISICON", 0) != 0)
        return SW_SHOWMINIMIZED_CMD;
    return SW_SHOW_CMD;
}
