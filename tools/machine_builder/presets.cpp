// The packages a printing machine usually holds: the family's own with its port monitor and print processor,
// another maker's, and one of Windows's own drivers.
#include "tools/machine_builder/machine_builder.h"

namespace machinebuilder {
namespace presets {

Package VestralX() {
    Package p;
    p.name = "Vestral X Driver";
    p.provider = "Vestral";
    p.manufacturer = "VESTRAL";
    p.driverFile = "vxdrv.dll";
    p.dataFile = "vxres.dat";
    p.configFile = "vxui.dll";
    p.dependents = {"vcommon.dll", "3\\unidrv.dll", "3\\unires.dll"};
    p.processor = "VxProc";
    p.inf = "vxdrv.inf";
    return p;
}

Package AcmeLaser() {
    Package p;
    p.name = "Acme Laser Driver";
    p.provider = "Acme";
    p.manufacturer = "Acme";
    p.driverFile = "acmedrv.dll";
    p.configFile = "acmeui.dll";
    p.dependents = {"acmecore.dll"};
    p.inf = "acmelsr.inf";
    return p;
}

Package MicrosoftPsClass() {
    Package p;
    p.name = "Microsoft PS Class Driver";
    p.provider = "Microsoft";
    p.manufacturer = "Microsoft";
    p.driverFile = "3\\pscript5.dll";
    p.configFile = "3\\ps5ui.dll";
    p.helpFile = "3\\pscript.hlp";
    p.dependents = {"3\\pscript.ntf"};
    p.inf = "ntprint.inf";
    p.inbox = true;
    return p;
}

MonitorSpec VestralMonitor() { return MonitorSpec{"Vestral Port Monitor", "vstmon.dll", {"VSTUSB001:"}, ""}; }

ProcessorSpec VestralProcessor() { return ProcessorSpec{"VxProc", "vxproc.dll", ""}; }

std::string FamilyScript() {
    return "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"
           "[VXDRV.Files]\r\nvxdrv.dll\r\nvxui.dll\r\nvxres.dat\r\nvcommon.dll\r\n"
           "[VXDRV.Monitors]\r\nVestral Port Monitor\r\n"
           "[VXDRV.PrintProcessors]\r\nVxProc\r\n";
}

MachineBuilder& Family(MachineBuilder& b) {
    return b.Monitor(VestralMonitor()).Processor(VestralProcessor()).DriverPackage(VestralX()).Script(FamilyScript());
}

}  // namespace presets
}  // namespace machinebuilder
