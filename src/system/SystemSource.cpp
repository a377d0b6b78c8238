// The Linux answers to Win32_NetworkAdapter and Win32_Printer. Properties are listed in
// alphabetical order, as the WMI service lists them.
#include <linux/if_arp.h>

#include "base/Exception.h"
#include "system/NetInterfaces.h"
#include "system/NmDevices.h"
#include "system/Printers.h"
#include "system/WmiQuery.h"

namespace quorv::inventory {
namespace {

QStringList Names(const WmiObject& object) {
    QStringList out;
    for (const auto& property : object) {
        out << property.first;
    }
    return out;
}

CimValue Text(const QString& text) {
    return text.isEmpty() ? CimValue::Null(CimType::String) : CimValue::Of(CimType::String, text);
}

// connection: NetworkManager's connection on the device, shown beside the description.
WmiObject Adapter(const NetInterface& net, const std::string& connection = {}) {
    QString description = QString::fromStdString(net.Description());
    QString name = connection.empty() ? description
                                      : description + QStringLiteral(" (") +
                                            QString::fromStdString(connection) + QLatin1Char(')');
    bool ethernet = net.arpType == ARPHRD_ETHER;
    int status =
        !net.up ? 0 : (net.carrier ? 2 : 7);  // disconnected, connected, media disconnected
    return {
        {QStringLiteral("AdapterType"),
         ethernet ? Text(QStringLiteral("Ethernet 802.3")) : CimValue::Null(CimType::String)},
        {QStringLiteral("Description"), Text(description)},
        {QStringLiteral("DeviceID"), Text(QString::number(net.index))},
        {QStringLiteral("Index"), CimValue::Of(CimType::UInt32, net.index)},
        {QStringLiteral("InterfaceIndex"), CimValue::Of(CimType::UInt32, net.index)},
        {QStringLiteral("MACAddress"), Text(QString::fromStdString(net.mac).toUpper())},
        {QStringLiteral("Name"), Text(name)},
        {QStringLiteral("NetConnectionID"), Text(QString::fromStdString(net.name))},
        {QStringLiteral("NetConnectionStatus"), CimValue::Of(CimType::UInt16, status)},
        {QStringLiteral("NetEnabled"), CimValue::Of(CimType::Boolean, net.up)},
        {QStringLiteral("PhysicalAdapter"), CimValue::Of(CimType::Boolean, !net.busInfo.empty())},
        {QStringLiteral("ServiceName"), Text(QString::fromStdString(net.driver))},
        {QStringLiteral("Speed"), net.speed
                                      ? CimValue::Of(CimType::UInt64, QString::number(*net.speed))
                                      : CimValue::Null(CimType::UInt64)},
    };
}

WmiObject Printer(const CupsPrinter& p) {
    // WMI's PrinterStatus: 3 idle, 4 printing, 7 offline.
    int status = p.state == 4 ? 4 : (p.state == 5 ? 7 : 3);
    return {
        {QStringLiteral("Caption"), Text(p.info.isEmpty() ? p.name : p.info)},
        {QStringLiteral("Default"), CimValue::Of(CimType::Boolean, p.isDefault)},
        {QStringLiteral("DeviceID"), Text(p.name)},
        {QStringLiteral("Local"), CimValue::Of(CimType::Boolean, !p.remote)},
        {QStringLiteral("Location"), Text(p.location)},
        {QStringLiteral("Name"), Text(p.name)},
        {QStringLiteral("PortName"), Text(p.deviceUri)},
        {QStringLiteral("PrinterStatus"), CimValue::Of(CimType::UInt16, status)},
        {QStringLiteral("Shared"), CimValue::Of(CimType::Boolean, p.shared)},
    };
}

class SystemSource : public WmiSource {
  public:
    std::optional<WmiClass> Instances(const QString& className) const override {
        if (className.compare(QLatin1String("Win32_NetworkAdapter"), Qt::CaseInsensitive) == 0) {
            WmiClass cls;
            cls.properties = Names(Adapter(NetInterface{}));
            try {
                const auto managed = ReadNmDevices();
                for (const NetInterface& net : ReadInterfaces()) {
                    if (!net.loopback) {
                        const NmDeviceView* nm = FindNmDevice(managed, net.name);
                        cls.objects.append(Adapter(net, nm ? nm->connection : std::string()));
                    }
                }
            } catch (const quorv::Exception&) {
                return std::nullopt;
            }
            return cls;
        }
        if (className.compare(QLatin1String("Win32_Printer"), Qt::CaseInsensitive) == 0) {
            auto printers = ReadCupsPrinters();
            if (!printers) {
                return std::nullopt;
            }
            WmiClass cls;
            cls.properties = Names(Printer(CupsPrinter{}));
            for (const CupsPrinter& p : *printers) {
                cls.objects.append(Printer(p));
            }
            return cls;
        }
        return std::nullopt;
    }
};

}  // namespace

const WmiSource& SystemWmiSource() {
    static const SystemSource source;
    return source;
}

}  // namespace quorv::inventory
