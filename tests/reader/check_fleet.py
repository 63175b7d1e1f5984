#!/usr/bin/env python3
"""Checks of telinv-read html on a fleet made from the fixture hosts' reports
(fleet_fixture.py): seven hosts, two with three reports, a hostile report and a file that
is no report.

Usage: check_fleet.py page|browser --reader TELINV_READ --e2e E2E_DIR --out DIR
  page     the page as a file: exit codes, its Content-Security-Policy and the hashes of
           its style and script, no element or attribute that could run or load anything,
           every hostile text as text, no report embedded whole, the same bytes on one
           thread and on several (Python's standard library only)
  browser  the page in headless Chromium (python3-selenium, chromium, chromium-driver): the
           fleet rows and figures, the matrix's marks and its switch, sorting, the filter,
           the histories, no script run from a report (also with the policy taken out), no
           network request, printing; keeps fleet.png and fleet.pdf in DIR. Exits 77
           (skipped) where Chromium, its driver or selenium is missing.
"""

import argparse
import base64
import hashlib
import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fleet_fixture as fx  # noqa: E402

HOSTS = [fx.EVIL_NAME, 'PBX-BRANCH', 'PBX-EMPTY', 'PBX-HQ', 'PBX-NT4', 'pbx-short', 'PBX-XP']
HOSTILE = [fx.IMG, fx.CLOSE, fx.JS_LINK, fx.EVIL_NAME]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what)
    return condition


def run(reader, args, cwd):
    p = subprocess.run([reader] + args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout, p.stderr.decode('utf-8', 'replace')


def make(args):
    out = os.path.abspath(args.out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    fx.make_fleet(args.e2e, out)
    rc, _, err = run(args.reader, ['html', '--title', 'Fleet <test> & "co"', 'fleet', '-o', 'fleet.html'], out)
    check(rc == 1, 'html with a file that is no report ends with 1, not %d (%s)' % (rc, err))
    check('pbx-broken' in err and 'not a telinv report' in err, 'the file that is no report is named on stderr: ' + err)
    return out, os.path.join(out, 'fleet.html')


class Elements(html.parser.HTMLParser):
    """The page's elements with their attributes, and the text of the elements."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.elements = []  # (tag, attrs)
        self.text = []
        self.raw = {'style': [], 'script': []}
        self._in = None

    def handle_starttag(self, tag, attrs):
        self.elements.append((tag, dict(attrs)))
        if tag in self.raw:
            self._in = tag
            self.raw[tag].append('')

    def handle_endtag(self, tag):
        if tag == self._in:
            self._in = None

    def handle_data(self, data):
        if self._in:
            self.raw[self._in][-1] += data
        else:
            self.text.append(data)


def check_page(args):
    out, page = make(args)
    data = open(page, 'rb').read()
    text = data.decode('utf-8')  # UTF-8, or this raises
    check(text.startswith('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">'), 'UTF-8 named first')
    doc = Elements()
    doc.feed(text)
    doc.close()
    tags = [t for t, _ in doc.elements]

    # One style and one script, ours, allowed by their hashes; nothing may load.
    metas = [a for t, a in doc.elements if t == 'meta' and a.get('http-equiv') == 'Content-Security-Policy']
    check(len(metas) == 1, 'one Content-Security-Policy')
    policy = dict((d.strip().split(' ', 1) + [''])[:2] for d in metas[0]['content'].split(';'))
    check(policy.get('default-src') == "'none'", 'default-src none: ' + str(policy))
    check(policy.get('base-uri') == "'none'" and policy.get('form-action') == "'none'", 'no base, no form target')
    for tag, directive in (('style', 'style-src'), ('script', 'script-src')):
        check(len(doc.raw[tag]) == 1, 'one %s element, not %d' % (tag, len(doc.raw[tag])))
        digest = base64.b64encode(hashlib.sha256(doc.raw[tag][0].encode('utf-8')).digest()).decode()
        check(policy.get(directive) == "'sha256-%s'" % digest, '%s allowed by its own hash' % tag)
    for bad in ('img', 'iframe', 'object', 'embed', 'link', 'base', 'form', 'svg', 'math', 'b', 'i'):
        check(bad not in tags, 'no <%s> element' % bad)
    for tag, attrs in doc.elements:
        for name, value in attrs.items():
            check(not name.startswith('on'), 'no event handler attribute: <%s %s>' % (tag, name))
            check(name not in ('src', 'srcdoc', 'style', 'x'), 'no %s attribute: <%s>' % (name, tag))
        if tag == 'a':
            url = urllib.parse.urlsplit(attrs['href'])
            check(url.scheme == '' and url.netloc == '', 'a plain relative link: ' + attrs['href'])
            if not attrs['href'].startswith('#'):
                target = os.path.join(out, urllib.parse.unquote(url.path))
                check(os.path.isfile(target), 'the link leads to the report: ' + attrs['href'])

    # Every hostile text stands as text; the title too.
    shown = ''.join(doc.text)
    for h in HOSTILE:
        check(h in shown, 'shown as text: ' + h)
    check('Fleet <test> & "co"' in shown, 'the title as text')
    check(fx.EVIL_FOLDER + '/2026-12-09T070000Z/telinv.txt' in shown, 'the hostile folder as text')

    # The host rows, the failure, and nothing of a report whole: lines the page has no
    # reason to show stay out (a VoIP file's line, a whole log line).
    for h in HOSTS:
        check(h in shown, 'host ' + h)
    check('7 hosts, 12 reports, 1 file not read; newest report 2026-12-09 10:00:00.' in shown, 'the page heading')
    check('set rtp_ports {10000 10999}' not in text, 'no VoIP file line')
    check('14:09:49 ERROR pbxserv: call 10697' not in text, 'no log line as it stands')
    check(len(data) < 400000, 'a small page: %d bytes' % len(data))

    # The same page on one thread (a single core) and on several; and from another folder,
    # whose links lead the same way.
    if shutil.which('taskset'):
        rc, one, _ = run('taskset', ['-c', '0', args.reader, 'html', '--title', 'Fleet <test> & "co"', 'fleet'], out)
        check(one == data, 'the same page on one core')
    os.makedirs(os.path.join(out, 'pages'), exist_ok=True)
    rc, _, _ = run(args.reader, ['html', '-o', 'pages/again.html', 'fleet/pbx-hq'], out)
    again = open(os.path.join(out, 'pages', 'again.html'), encoding='utf-8').read()
    check(rc == 0, 'exit code 0 when every report was read, not %d' % rc)
    check('href="../fleet/pbx-hq/2026-12-01T080000Z/telinv.txt"' in again, 'links from the output file\'s folder')

    # The command line.
    for call, why in ((['html'], 'no path'), (['html', '--title'], 'no title'), (['--title', 'x', 'table', 'fleet'], '--title of table'),
                      (['html', '-o', 'no/such/folder/x.html', 'fleet'], 'an output that cannot be created')):
        rc, _, err = run(args.reader, call, out)
        check(rc == 2 and err, '%s: exit code 2 and a message, not %d' % (why, rc))
    rc, _, err = run(args.reader, ['html', 'no-such-folder', os.path.join('fleet', 'pbx-xp')], out)
    check(rc == 1 and 'no-such-folder' in err, 'a path that does not exist is listed, exit code 1')
    os.makedirs(os.path.join(out, 'empty'), exist_ok=True)
    rc, page_out, err = run(args.reader, ['html', 'empty'], out)
    check(rc == 1 and 'no telinv.txt in it' in err and b'no telinv.txt in it' in page_out, 'a folder without reports')
    # table reads the playbook's layout as well.
    rc, csv, _ = run(args.reader, ['table'] + sorted(os.path.join('fleet', 'pbx-hq', d, 'telinv.txt')
                                                    for d in os.listdir(os.path.join(out, 'fleet', 'pbx-hq'))), out)
    check(rc == 0 and csv.count(b'\r\n') == 4, 'table of one host\'s runs')


# ---- in the browser --------------------------------------------------------------------


def browser_available():
    if not (shutil.which('chromium') or os.path.exists('/usr/bin/chromium')):
        return 'chromium is not installed (Debian: apt-get install chromium)'
    if not (shutil.which('chromedriver') or os.path.exists('/usr/bin/chromedriver')):
        return 'chromedriver is not installed (Debian: apt-get install chromium-driver)'
    try:
        import selenium  # noqa: F401
    except ImportError:
        return 'selenium is not installed for %s (Debian: apt-get install python3-selenium)' % sys.executable
    return None


def start_browser(profile):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--disable-dev-shm-usage', '--window-size=1400,1000', '--user-data-dir=' + profile):
        options.add_argument(flag)
    options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    options.set_capability('goog:loggingPrefs', {'performance': 'ALL', 'browser': 'ALL'})
    service = Service(shutil.which('chromedriver') or '/usr/bin/chromedriver')
    return webdriver.Chrome(service=service, options=options)


def requests_of(driver, page):
    """The requests that the page's document made (from Chrome's DevTools log), and those
    of any document to the network or to a file other than the page."""
    import json
    urls = []
    for entry in driver.get_log('performance'):
        message = json.loads(entry['message'])['message']
        if message['method'] != 'Network.requestWillBeSent':
            continue
        url = message['params']['request']['url']
        document = message['params'].get('documentURL', '').split('#')[0]
        if document == page or not url.startswith(('chrome:', 'data:', 'about:', 'chrome-untrusted:')):
            urls.append(url)
    return urls


def no_alert(driver):
    from selenium.common.exceptions import NoAlertPresentException
    try:
        driver.switch_to.alert.text
        return False
    except NoAlertPresentException:
        return True


def check_nothing_ran(driver, what):
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.action_chains import ActionChains
    # Hover over and click each element whose text holds a hostile text, where a handler
    # made from it would fire.
    hostile = driver.find_elements(By.XPATH, "//body//*[contains(text(), 'pwned')]")
    check(len(hostile) >= 10, what + ': the hostile texts are on the page (%d elements)' % len(hostile))
    for el in hostile:
        try:
            actions = ActionChains(driver).move_to_element(el)
            if el.tag_name != 'a': # a link leads away: a plain link, checked elsewhere
                actions = actions.click()
            actions.perform()
        except Exception:
            pass
    check(driver.execute_script('return typeof window.pwned') == 'undefined', what + ': no script of a report ran')
    check(no_alert(driver), what + ': no alert')
    n = driver.execute_script("return document.querySelectorAll('img, iframe, object, embed, b, i, [onerror], [onclick], [onmouseover]').length")
    check(n == 0, what + ': no element made from a report\'s text (%d)' % n)


def rows_text(driver, selector):
    return [r.text for r in driver.find_elements('css selector', selector) if r.is_displayed()]


def check_browser(args):
    why = browser_available()
    if why:
        print('check_fleet browser: skipped:', why)
        return 77
    from selenium.webdriver.common.by import By
    out, page = make(args)
    url = 'file://' + urllib.parse.quote(page)
    profile = tempfile.mkdtemp(prefix='telinv-chromium.')
    driver = start_browser(profile)
    try:
        driver.get(url)
        check(driver.execute_script('return document.characterSet') == 'UTF-8', 'read as UTF-8')
        check(driver.title == 'Fleet <test> & "co"', 'the title: ' + driver.title)
        check_nothing_ran(driver, 'with the policy')

        # The fleet rows, in host order, and their figures.
        col = {name: i for i, name in enumerate(h.text for h in driver.find_elements(By.CSS_SELECTOR, '#fleet thead th'))}
        rows = driver.find_elements(By.CSS_SELECTOR, '#fleet tbody tr')

        def cells(row):
            return [c.text for c in row.find_elements(By.TAG_NAME, 'td')]
        table = {cells(r)[0]: cells(r) for r in rows}
        check([cells(r)[0] for r in rows] == HOSTS, 'hosts in order: %s' % [cells(r)[0] for r in rows])
        hq, br = table['PBX-HQ'], table['PBX-BRANCH']
        check(hq[col['Report time']] == '2026-12-09 08:00:00' and hq[col['Age']] == '2 h', 'PBX-HQ time and age: %s' % hq)
        check(hq[col['Windows']] == '6.1' and hq[col['Suite release']] == '6.2.1.0' and hq[col['Driver release']] == '3.4.2.0', 'PBX-HQ releases')
        check(hq[col['Other versions']] == '1' and hq[col['Not Found']] == '22' and hq[col['Errors']] == '1', 'PBX-HQ counts: %s' % hq)
        check(hq[col['Lines']] == '332' and hq[col['Most frequent error-log line']].startswith('#:#:# ERROR pbxserv: call # to #'), 'PBX-HQ log kind')
        check(br[col['Windows']] == '10.0' and br[col['Other versions']] == '2' and br[col['Age']] == '0 min', 'PBX-BRANCH: %s' % br)
        check(table['PBX-XP'][col['Windows']] == '5.1, Service Pack 3' and table['PBX-NT4'][col['Age']] == '30 d', 'older hosts')
        check(table['pbx-short'][col['Windows']] == '' and table['pbx-short'][col['Not Found']] == '0', 'the short report')
        link = rows[HOSTS.index('PBX-HQ')].find_element(By.TAG_NAME, 'a')
        target = link.get_attribute('href').split('#')[1]
        check(driver.find_element(By.ID, target).find_element(By.TAG_NAME, 'h3').text == 'PBX-HQ', 'a row leads to its host')

        # Sorting: by age, both ways; by a count; back by host. Rows without a value last.
        heads = {h.text: h for h in driver.find_elements(By.CSS_SELECTOR, '#fleet thead th')}

        def order():
            return [r.find_element(By.TAG_NAME, 'td').text for r in driver.find_elements(By.CSS_SELECTOR, '#fleet tbody tr')]
        heads['Age'].click()
        by_age = ['PBX-BRANCH', 'PBX-HQ', fx.EVIL_NAME, 'pbx-short', 'PBX-EMPTY', 'PBX-XP', 'PBX-NT4']
        check(order() == by_age, 'sorted by age: %s' % order())
        check(heads['Age'].get_attribute('aria-sort') == 'ascending', 'the sorted column is marked')
        heads['Age'].click()
        check(order() == by_age[::-1], 'by age, newest last: %s' % order())
        heads['Lines'].click()
        check(set(order()[:3]) == {fx.EVIL_NAME, 'PBX-BRANCH', 'PBX-HQ'}, 'by log lines, hosts without them last: %s' % order())
        heads['Lines'].click()
        check(set(order()[:3]) == {fx.EVIL_NAME, 'PBX-BRANCH', 'PBX-HQ'}, 'also the other way: %s' % order())
        heads['Host'].click()
        check(order() == HOSTS, 'by host again: %s' % order())

        # The filter: every word somewhere in the row.
        box = driver.find_element(By.ID, 'fleet-filter')
        check(box.is_displayed(), 'the filter box is shown with script')
        box.send_keys('pbx 5.1')
        check(rows_text(driver, '#fleet tbody tr')[0].startswith('PBX-XP') and len(rows_text(driver, '#fleet tbody tr')) == 1, 'filtered to PBX-XP')
        check(driver.find_element(By.ID, 'fleet-count').text == '1 of 7 hosts', 'the filter\'s count')
        box.clear()
        box.send_keys('pwned')
        check(len(rows_text(driver, '#fleet tbody tr')) == 1, 'filtered to the hostile host')
        box.clear()
        box.send_keys(' ')
        box.clear()
        driver.execute_script("document.getElementById('fleet-filter').dispatchEvent(new Event('input'))")
        check(len(rows_text(driver, '#fleet tbody tr')) == 7, 'every row again')

        # The matrix: marks against the fleet's version, as numbers part by part.
        hosts = [h.text for h in driver.find_elements(By.CSS_SELECTOR, '#matrix thead th.host')]
        check(hosts == HOSTS, 'matrix columns: %s' % hosts)

        def cell(path, host):
            row = driver.find_element(By.XPATH, '//table[@id="matrix"]//tr[th[@class="file" and text()=%s]]' % xpath_text(path))
            return row.find_elements(By.TAG_NAME, 'td')[1 + hosts.index(host)], row
        for path, host, mark, version in (
                (fx.INST + 'pbxmon.exe', 'PBX-BRANCH', 'older', '6.2.0.9'),
                (fx.INST + 'pbxsip.exe', 'PBX-BRANCH', 'newer', '6.2.1.10'),
                (fx.INST + 'pbxserv.exe', 'PBX-HQ', 'newer', '6.2.2.0'),
                (fx.INST + 'pbxcfg.exe', 'PBX-HQ', 'nf', 'Not Found'),
                (fx.INST + 'pbxserv.exe', 'PBX-BRANCH', '', '6.2.1.0'),
                (fx.INST + 'pbxserv.exe', 'pbx-short', 'nl', '')):
            c, row = cell(path, host)
            check((c.get_attribute('class') or '') == mark and c.text.startswith(version),
                  'cell %s on %s: "%s" %s' % (path, host, c.text, c.get_attribute('class')))
        c, row = cell(fx.INST + 'pbxmon.exe', 'PBX-BRANCH')
        check(row.find_elements(By.TAG_NAME, 'td')[0].text == '6.2.0.14', 'the fleet version of pbxmon.exe')
        check(c.get_attribute('title') == "older than the fleet's 6.2.0.14", 'the cell says against what')
        head = driver.find_element(By.CSS_SELECTOR, '#matrix thead th.host')
        check(head.value_of_css_property('position') == 'sticky', 'the matrix headers stay in view')
        same, _ = cell(fx.INST + 'pbxtime.exe', 'PBX-HQ')
        differs = len(driver.find_elements(By.CSS_SELECTOR, '#matrix tbody tr.differs'))
        all_rows = len(driver.find_elements(By.CSS_SELECTOR, '#matrix tbody tr'))
        driver.find_element(By.CSS_SELECTOR, 'label[for=only-differ]').click()
        shown_rows = len([r for r in driver.find_elements(By.CSS_SELECTOR, '#matrix tbody tr') if r.is_displayed()])
        check(0 < differs == shown_rows < all_rows, 'only the rows that differ: %d of %d, %d shown' % (differs, all_rows, shown_rows))
        check(cell(fx.INST + 'pbxmon.exe', 'PBX-BRANCH')[0].is_displayed(), 'a differing row stays')
        driver.find_element(By.CSS_SELECTOR, 'label[for=only-differ]').click()

        # A host's history: newest first, each step's changes, links to each report.
        def history(host):
            article = driver.find_element(By.XPATH, '//article[h3[text()=%s]]' % xpath_text(host))
            items = article.find_elements(By.CSS_SELECTOR, '.history > ol > li')
            return [(i.find_element(By.CSS_SELECTOR, 'a.report').get_attribute('href'), i.text) for i in items]
        h = history('PBX-HQ')
        check([x[0].rsplit('/', 2)[1] for x in h] == ['2026-12-09T080000Z', '2026-12-05T080000Z', '2026-12-01T080000Z'], 'PBX-HQ reports, newest first')
        check(all(x[0].startswith('file:///') and x[0].endswith('/telinv.txt') for x in h), 'links to the report files')
        check('changed   C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe: 6.2.1.0, 1024 bytes -> 6.2.2.0, 1024 bytes' in h[0][1]
              and '+ Hotfix: KB5000001' in h[0][1] and '(current)' in h[0][1], 'PBX-HQ latest step: ' + h[0][1])
        check('-Country = { "49" };' in h[1][1] and '+Country = { "41" };' in h[1][1] and '== pbxcfg' in h[1][1], 'PBX-HQ earlier step')
        check('Changed' not in h[2][1], 'the first report has no step')
        b = history('PBX-BRANCH')
        check([x[0].rsplit('/', 2)[1] for x in b] == ['run-b', 'run-a', 'run-c'], 'PBX-BRANCH by header time, not folder name')
        check('6.2.1.3, 1024 bytes -> 6.2.1.10, 1024 bytes' in b[0][1] and '+Trunk = { "ISDN1", "PRI", "20" };' in b[0][1], 'PBX-BRANCH step')
        check('No change since the report before.' in b[1][1], 'PBX-BRANCH unchanged step')
        e = history(fx.EVIL_NAME)
        check(('+Link = { "%s", "%s" };' % (fx.JS_LINK, fx.IMG)) in e[0][1], 'the hostile change as text')
        check(fx.EVIL_FOLDER in urllib.parse.unquote(e[0][0]), 'the hostile folder\'s link: ' + e[0][0])

        # Nothing loaded but the page itself; no policy violation.
        urls = requests_of(driver, url)
        check(urls and all(u.split('#')[0] == url for u in urls), 'no request but the page: %s' % urls)
        messages = [m['message'] for m in driver.get_log('browser')]
        check(not any('Content Security Policy' in m or 'Refused' in m for m in messages), 'no policy violation: %s' % messages)

        # Printing: no scroll boxes, no controls; a PDF of the page.
        driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {'media': 'print'})
        check(driver.find_element(By.CSS_SELECTOR, '.scroll').value_of_css_property('overflow-y') == 'visible', 'printed without scroll boxes')
        check(not driver.find_element(By.TAG_NAME, 'nav').is_displayed(), 'printed without the links on top')
        driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {'media': ''})
        pdf = driver.execute_cdp_cmd('Page.printToPDF', {'printBackground': True, 'landscape': True})
        with open(os.path.join(out, 'fleet.pdf'), 'wb') as f:
            f.write(base64.b64decode(pdf['data']))

        # The screenshot kept with the results.
        shot = driver.execute_cdp_cmd('Page.captureScreenshot', {'format': 'png', 'captureBeyondViewport': True})
        with open(os.path.join(out, 'fleet.png'), 'wb') as f:
            f.write(base64.b64decode(shot['data']))

        # Without the policy the escaping alone must hold: the same page, its policy removed.
        bare = re.sub(r'<meta http-equiv="Content-Security-Policy"[^>]*>\n', '', open(page, encoding='utf-8').read())
        check('http-equiv="Content-Security-Policy"' not in bare, 'the policy taken out')
        bare_page = os.path.join(out, 'fleet-no-policy.html')
        with open(bare_page, 'w', encoding='utf-8') as f:
            f.write(bare)
        requests_of(driver, url)
        bare_url = 'file://' + urllib.parse.quote(bare_page)
        driver.get(bare_url)
        check_nothing_ran(driver, 'without the policy')
        check(driver.execute_script("return document.documentElement.classList.contains('js')"), 'our own script ran there')
        without = [u for u in requests_of(driver, bare_url) if u.split('#')[0] != bare_url]
        check(not without, 'no request without the policy either: %s' % without)
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
    print('check_fleet browser: screenshot', os.path.join(out, 'fleet.png'))
    return 0


def xpath_text(s):
    if '"' not in s:
        return '"%s"' % s
    return 'concat(%s)' % ', \'"\', '.join('"%s"' % p for p in s.split('"'))


def main():
    p = argparse.ArgumentParser()
    p.add_argument('check', choices=['page', 'browser'])
    p.add_argument('--reader', required=True)
    p.add_argument('--e2e', required=True)
    p.add_argument('--out', required=True)
    args = p.parse_args()
    args.reader = os.path.abspath(args.reader)
    args.e2e = os.path.abspath(args.e2e)
    if args.check == 'page':
        check_page(args)
    else:
        rc = check_browser(args)
        if rc == 77:
            return 77
    if failures:
        print('check_fleet %s: %d checks failed' % (args.check, len(failures)))
        return 1
    print('check_fleet %s: all checks passed' % args.check)
    return 0


if __name__ == '__main__':
    sys.exit(main())
