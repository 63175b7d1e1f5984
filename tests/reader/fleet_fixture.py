"""A fleet of reports for the tests of telinv-read html, made by editing the reports of the
fixture hosts (tests/reader/e2e make): seven hosts, two of them with three reports each,
a short report without a computer name (named by its folder above the run's time stamp),
a hostile host whose file names, configuration lines, log lines and folder hold markup and
script, and a file that is no report. make_fleet() writes it and returns what a page of it
must show."""

import os

# The hostile texts: each would set window.pwned (or load x) if it were taken as markup
# or as a link's scheme.
IMG = '<img src=x onerror="window.pwned=1">'
CLOSE = '</script><script>window.pwned=2</script>'
QUOTES = '"\' onmouseover="window.pwned=3" x=\''
JS_LINK = 'javascript:window.pwned=4'
EVIL_NAME = '<b onclick=window.pwned=5>EVIL</b>'
EVIL_FOLDER = 'javascript:window.pwned=6 "\'<i>x'
INST = 'C:\\Program Files\\MIRDEN\\KESTRA\\'


def banner(name):
    h = '-' * 37
    return (h + ' ' + name + ' ' + h)[:78]


def inventory_line(path, version, size):
    return '%-55s %-10s %9d' % (path, version or 'Not Found', size)


def read(path):
    with open(path, 'rb') as f:
        return f.read().decode('latin-1')


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(text.encode('latin-1' if all(ord(c) < 256 for c in text) else 'utf-8'))


def lines_of(text):
    return text.split('\r\n')


def set_time(text, asctime):
    lines = lines_of(text)
    head = lines[0]
    lines[0] = head[:head.index(' at ') + 4] + asctime
    return '\r\n'.join(lines)


def set_computer(text, name):
    """The computer name in the sysinfo section: the variable's line and, on Windows 6
    and later, the identifier line after the MAC addresses."""
    lines = lines_of(text)
    start = lines.index(banner('sysinfo'))
    i = start + 1
    while not lines[i].startswith('-' * 37):
        if lines[i].startswith('Computername '):
            lines[i] = '%-18s %s' % ('Computername', name)
        if lines[i] == 'MacAddresses':
            k = i + 1
            while lines[k] != '':
                k += 1
            if lines[k + 1] and not lines[k + 1].startswith(('Updates:', 'Hotfix:', 'Installed:', 'ServicePack:')):
                lines[k + 1] = name
        i += 1
    return '\r\n'.join(lines)


def set_version(text, path, version, size=1024):
    lines = lines_of(text)
    for i, l in enumerate(lines):
        if l.startswith(path + ' '):
            lines[i] = inventory_line(path, version, size if version else 0)
            return '\r\n'.join(lines)
    raise KeyError(path)


def replace(text, old, new):
    assert old in text, old
    return text.replace(old, new, 1)


def after_line(text, line, added):
    return replace(text, line + '\r\n', line + '\r\n' + ''.join(a + '\r\n' for a in added))


def make_fleet(e2e, out):
    """Writes the fleet under out/fleet; returns the expectations."""
    fleet = os.path.join(out, 'fleet')
    sample = read(os.path.join(e2e, 'sample-host.txt'))
    changed = read(os.path.join(e2e, 'changed.txt'))
    win10 = read(os.path.join(e2e, 'win10.txt'))

    def put(host, stamp, text):
        write(os.path.join(fleet, host, stamp, 'telinv.txt') if stamp else os.path.join(fleet, host, 'telinv.txt'), text)

    # PBX-HQ: three runs; the configuration's country code changes, then a release.
    hq = set_computer(sample, 'PBX-HQ')
    put('pbx-hq', '2026-12-01T080000Z', set_time(hq, 'Tue Dec 01 08:00:00 2026'))
    hq2 = replace(hq, 'Country = { "49" };', 'Country = { "41" };')
    put('pbx-hq', '2026-12-05T080000Z', set_time(hq2, 'Sat Dec 05 08:00:00 2026'))
    hq3 = replace(set_computer(changed, 'PBX-HQ'), 'Country = { "43" };', 'Country = { "41" };')
    put('pbx-hq', '2026-12-09T080000Z', set_time(hq3, 'Wed Dec 09 08:00:00 2026'))

    # PBX-BRANCH: Windows 10, three runs in another folder order than their times (the
    # folders are named by hand here); pbxmon.exe older than the fleet's (6.2.0.9 against
    # 6.2.0.14: older as numbers, newer as text) and pbxsip.exe newer (6.2.1.10 against
    # 6.2.1.3).
    br = set_computer(win10, 'PBX-BRANCH')
    br = set_version(br, INST + 'pbxmon.exe', '6.2.0.9')
    put('pbx-branch', 'run-a', set_time(br, 'Mon Dec 07 10:00:00 2026'))
    put('pbx-branch', 'run-c', set_time(br, 'Wed Dec 02 10:00:00 2026'))
    br3 = set_version(br, INST + 'pbxsip.exe', '6.2.1.10')
    br3 = replace(br3, 'Trunk = { "ISDN1", "PRI", "30" };', 'Trunk = { "ISDN1", "PRI", "20" };')
    put('pbx-branch', 'run-b', set_time(br3, 'Wed Dec 09 10:00:00 2026'))

    # Older Windows, a host without the suite, a short report named by its folder.
    put('pbx-xp', None, set_time(set_computer(read(os.path.join(e2e, 'win51-fallback.txt')), 'PBX-XP'),
                                 'Thu Nov 26 09:00:00 2026'))
    put('pbx-nt4', None, set_time(set_computer(read(os.path.join(e2e, 'nt4.txt')), 'PBX-NT4'),
                                  'Mon Nov 09 09:00:00 2026'))
    put('pbx-empty', None, set_time(set_computer(read(os.path.join(e2e, 'no-suite.txt')), 'PBX-EMPTY'),
                                    'Tue Dec 08 09:00:00 2026'))
    put('pbx-short', '2026-12-08T120000Z', set_time(read(os.path.join(e2e, 'sample-host-short.txt')),
                                                    'Tue Dec 08 12:00:00 2026'))

    # The hostile host: markup and script in a file name of the inventory, a VoIP file's
    # name (its listing line and its banner), configuration lines, an error line, log
    # lines, its computer name and its folder; two runs, so that its history shows them.
    ev = set_computer(sample, EVIL_NAME)
    ev = after_line(ev, inventory_line(INST + 'pbxserv.exe', '6.2.1.0', 1024),
                    [inventory_line(INST + IMG + '.exe', '6.2.1.0', 1024),
                     inventory_line(INST + CLOSE + '.dll', '6.2.0.1' + QUOTES, 1024)])
    ev = replace(ev, 'System = { "Sample PBX", "Headquarters" };',
                 'System = { "' + CLOSE + '", "' + QUOTES + '" };\r\nLink = { "' + JS_LINK + '" };')
    listing = '%-44s %s %11d' % ('STUN.TXT', '07-03-2025 09:05:01', 45)
    ev = replace(ev, listing + '\r\n', listing + '\r\n' + '%-44s %s %11d' % (IMG + '.TXT', '07-03-2025 09:05:01', 9) + '\r\n')
    ev = replace(ev, banner('USER.TXT') + '\r\n', banner(IMG + '.TXT') + '\r\n' + JS_LINK + '\r\n' + banner('USER.TXT') + '\r\n')
    ev = replace(ev, "Error: can't open file '" + INST + "voip\\VFILES.TXT'", "Error: can't open file '" + INST + IMG + "'")
    ev = replace(ev, '14:09:12 ERROR pbxsip: REGISTER from 200 rejected (401 Unauthorized)',
                 '14:09:12 ERROR pbxsip: ' + IMG + ' ' + CLOSE + ' ' + JS_LINK)
    put(EVIL_FOLDER, '2026-12-03T080000Z', set_time(ev, 'Thu Dec 03 08:00:00 2026'))
    ev2 = replace(ev, 'Link = { "' + JS_LINK + '" };', 'Link = { "' + JS_LINK + '", "' + IMG + '" };')
    put(EVIL_FOLDER, '2026-12-09T070000Z', set_time(ev2, 'Wed Dec 09 07:00:00 2026'))

    # A file that is no report.
    write(os.path.join(fleet, 'pbx-broken', 'telinv.txt'), 'PK\x03\x04 no report')

    return {
        'hosts': ['EVIL_NAME', 'PBX-BRANCH', 'PBX-EMPTY', 'PBX-HQ', 'PBX-NT4', 'pbx-short', 'PBX-XP'],
        'reports': 11,
        'failures': [os.path.join('fleet', 'pbx-broken', 'telinv.txt')],
        'newest': '2026-12-09 10:00:00',
    }
