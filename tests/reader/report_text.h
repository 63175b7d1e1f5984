// Report texts for the reader's tests, written with the formats that telinv writes its
// lines with, so that the tests hold the reader to the collector's layout.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "file_io.h"
#include "report.h"

namespace report_text {

inline std::string banner(const std::string &name)
{
    const std::string h(37, '-');
    std::string line = h + " " + name + " " + h;
    return line.substr(0, 78);
}

template <class... Args> std::string format(const char *f, Args... args)
{
    char buf[1024];
    std::snprintf(buf, sizeof buf, f, args...);
    return buf;
}

inline std::string inventory_line(const std::string &path, const char *version, long long bytes)
{
    return format("%-55s %-10s %9lld", path.c_str(), version ? version : "Not Found", bytes);
}

inline std::string listing_heading(const std::string &dir) { return format("%-59s %-10s %s", dir.c_str(), "Date", "Bytes"); }

inline std::string listing_line(const std::string &name, long long bytes)
{
    return format("%-44s %.2d-%.2d-%d %.2d:%.2d:%.2d %11lld", name.c_str(), 7, 3, 2025, 9, 5, 1, bytes);
}

inline std::string label(const char *l, const std::string &value) { return format("%-18s %s", l, value.c_str()); }

inline std::string adapter(int n, const char *l, const std::string &value)
{
    return format("%d. %-15s %s", n, l, value.c_str());
}

inline std::string join(const std::vector<std::string> &lines, const std::string &end = "\r\n")
{
    std::string out;
    for (const std::string &l : lines)
        out += l + end;
    return out;
}

// The sysinfo section's lines for a Windows major version, in the collector's order.
inline std::vector<std::string> sysinfo_lines(int major)
{
    std::vector<std::string> s = {banner("sysinfo"), label("WindowsVersion:", format("%d.%d", major, major == 6 ? 1 : 0)),
                                  label("Processor:", "  Intel(R) Xeon(R) CPU"), label("VendorId:", "GenuineIntel"),
                                  label("MHz:", "3100"), label("Identifier:", "x86 Family 6"), label("PhysicalMemory:", "4194Mb")};
    if (major >= 5) {
        for (const char *l : {"DHCP:", "IPAdresse", "Dns", "SubnetMask", "Gateway", "MAC"})
            s.push_back(adapter(1, l, std::string(l) == "DHCP:" ? "Nein" : std::string(l) == "MAC" ? "00-0C-29-3A-4B-5C" : "10.0.0.1"));
    } else {
        s.push_back(adapter(2, "DHCP:", "Ja"));
        s.push_back(adapter(2, "IPAdresse", "192.168.1.9"));
        s.push_back(adapter(2, "MAC", ""));
    }
    s.push_back(label("Computername ", "PBX-ENV"));
    s.push_back("MacAddresses");
    if (major >= 6) {
        s.push_back("00-1B-21-3A-4B-01");
        s.push_back("00-1B-21-3A-4B-02");
        s.push_back("");
        s.push_back("PBX-WMIC");
        s.push_back("Volume4d36e967-e325");
        s.push_back("BFEBFBFF000306A9");
    } else {
        s.push_back("00-1B-21-3A-4B-01");
    }
    s.push_back("");
    if (major >= 5) {
        s.push_back(label("Updates:", "Windows XP Service Pack 3 (KB936929)"));
        s.push_back("");
    } else {
        s.push_back(label("ServicePack:", "Service Pack 6"));
        s.push_back("");
    }
    s.push_back(label("Hotfix:", "KB936929"));
    s.push_back("");
    s.push_back(label("Installed:", "KESTRA PBX Suite"));
    return s;
}

// A whole report's lines: header, every section of the full report.
inline std::vector<std::string> full_report(int major = 6)
{
    std::vector<std::string> r = {"telinv.exe(1.2.3.4) at Sat Mar 07 09:05:01 2026", banner("version"),
                                  format("%-55s %-14s %s", "Path\\Filename", "Version", "Bytes"),
                                  inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe", "6.2.1.0", 1024),
                                  inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxfax.exe", nullptr, 0),
                                  inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxcodec.dll", "6.2.10.1234", 1024),
                                  ""};
    for (int g = 2; g <= 5; g++) {
        r.push_back(inventory_line(format("C:\\windows\\system32\\drivers\\g%d.sys", g), "3.4.2.0", 2048));
        r.push_back("");
    }
    r.push_back(listing_heading("C:\\windows\\system32\\drivers\\isdn\\gsm"));
    r.push_back(listing_line("gsmctl.sys", 1024));
    std::vector<std::string> rest = {
        banner("netcfg"), "Lan = { \"192.168.10.20\", \"255.255.255.0\" };",
        banner("pbxcfg"), "# configuration", "TimeCfg = { \"times.cfg\", \"night\" };", "VoipGlobal = { \"voip\" };",
        banner("night_times.cfg"), "Mon-Sun = { \"18:00\", \"07:30\" };",
        banner("actcfg"), "Error: pbx not found",
        banner("kamailio"), listing_heading("c:\\cygwin\\kamailio"), listing_line("kamailio.core", 3221225472LL),
        banner("voip-files"), listing_heading("C:\\inst\\voip"), listing_line("CFG.TCL", 107),
        banner("CFG.TCL"), "set sip_port 5060",
        banner("VFILES.TXT"), "Error: can't open file 'C:\\inst\\voip\\VFILES.TXT'",
        banner("pbxboot"), "boot: ready",
        banner("pbxcards"), "Card 0: isdnpci PRI",
        banner("email"), label("Type:", "1"), label("PollTime:", "300"), label("NoESMTP:", "0"),
        label("MyEMail:", "pbx@example"), label("Pop3-Server:", "pop.example"), label("Pop3-User:", "pbx"),
        label("SMTP-Server:", "smtp.example"), label("SMTP-User:", "pbx")};
    r.insert(r.end(), rest.begin(), rest.end());
    for (const std::string &l : sysinfo_lines(major))
        r.push_back(l);
    std::vector<std::string> logs = {
        banner("log\\err%Y%m%d.log"), "09:04:34 ERROR pbxserv: call 10202 to 201: no free B-channel on ISDN1",
        "09:05:11 ERROR pbxserv: call 10203 to 202: no free B-channel on ISDN1", "09:05:48 ERROR pbxsip: REGISTER rejected",
        banner("kamailio-err.txt"), "c:\\cygwin\\kamailio\\kamailio-err.txt not found", ""};
    r.insert(r.end(), logs.begin(), logs.end());
    return r;
}

// What write(out) writes through an Output, as text.
template <class Write> std::string written_text(Write write)
{
    std::FILE *f = std::tmpfile();
    if (!f)
        return std::string();
    {
        telinv_read::Output out(f);
        write(out);
    }
    std::rewind(f);
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    std::fclose(f);
    return text;
}

inline telinv_read::Report parse(const std::string &bytes)
{
    return telinv_read::parse_report(bytes, "test.txt");
}

} // namespace report_text
