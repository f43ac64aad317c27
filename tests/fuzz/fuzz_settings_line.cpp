// A settings line of any content (as a settings file or the preset list
// hands it over), then every conversion the window runs on the result.
#include "FuzzSupport.h"

#include "device/TorvanDRV.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureApplication();
    TorvanDRV drv;
    drv.String2DrvSettings(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    drv.DrvSettings2DriverRegisters();
    drv.DriverRegisters2Buffer();
    drv.DriverRegisters2DrvSettings();
    const QString line = drv.DrvSettings2String();
    drv.String2DrvSettings(line);
    drv.DriverRegisters2String();
    return 0;
}
