#!/usr/bin/env python3
"""The Debian package as a clinic's IT person gets it, unpacked into a
temporary root with dpkg-deb -x (nothing is installed on this machine).

    test_package.py PACKAGE_FOLDER

PACKAGE_FOLDER holds the brenvoll_*.deb that tools/package.sh made; without
one the test is skipped (exit 77). Checked: the files in their places, the
commands on the PATH with their manual pages, --version and --help of each,
the unpacked program's first start with a new HOME (data folder made,
delivered database copied, login window shown offscreen), brenvoll-report
on the copied database when the package carries it, and lintian (no
errors), desktop-file-validate and appstreamcli validate --no-net.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

LIB = 'usr/lib/brenvoll'
# Lintian's warnings the package keeps, each for its reason (README, 安装):
# the package is not uploaded to Debian, so its changelog closes no bug.
KEPT_WARNINGS = {'initial-upload-closes-no-bugs'}
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what)
    return condition


def run(command, env=None, timeout=120):
    return subprocess.run(command, capture_output=True, text=True, env=env, timeout=timeout)


def package_field(deb, field):
    return run(['dpkg-deb', '-f', deb, field]).stdout.strip()


def check_files(root, version):
    for path in [f'{LIB}/brenvoll', f'{LIB}/brenvoll-mkdb', f'{LIB}/brenvoll-migrate', f'{LIB}/数据库.db',
                 f'{LIB}/brenvoll.installed', f'{LIB}/web/help.html',
                 'usr/share/applications/org.brenvoll.Brenvoll.desktop',
                 'usr/share/metainfo/org.brenvoll.Brenvoll.metainfo.xml',
                 'usr/share/icons/hicolor/scalable/apps/brenvoll.svg',
                 'usr/share/doc/brenvoll/copyright', 'usr/share/doc/brenvoll/changelog.Debian.gz']:
        check(os.path.isfile(os.path.join(root, path)), f'{path} is in the package')
    for size in (16, 32, 48, 64, 128, 256):
        check(os.path.isfile(os.path.join(root, f'usr/share/icons/hicolor/{size}x{size}/apps/brenvoll.png')),
              f'the {size} px icon is in the package')
    # The delivered database is read by everyone, written by no one.
    mode = os.stat(os.path.join(root, LIB, '数据库.db')).st_mode & 0o777
    check(mode == 0o644, f'the delivered database is mode 644, not {oct(mode)}')
    with open(os.path.join(root, 'usr/share/metainfo/org.brenvoll.Brenvoll.metainfo.xml'), encoding='utf-8') as f:
        check(f'<release version="{version}"' in f.read(), f'the metainfo names release {version}')


def commands(root):
    """The commands on the PATH: each a link to its file in /usr/lib/brenvoll."""
    names = sorted(os.listdir(os.path.join(root, 'usr/bin')))
    for name in names:
        link = os.path.join(root, 'usr/bin', name)
        check(os.path.islink(link) and os.readlink(link) == f'../lib/brenvoll/{name}',
              f'/usr/bin/{name} links to /usr/lib/brenvoll/{name}')
        check(os.path.isfile(os.path.join(root, f'usr/share/man/man1/{name}.1.gz')), f'{name} has a manual page')
    return names


def check_commands(root, names, version, env):
    for name in ['brenvoll', 'brenvoll-mkdb', 'brenvoll-migrate']:
        check(name in names, f'{name} is on the PATH')
    for name in names:
        program = os.path.join(root, 'usr/bin', name)
        shown = run([program, '--version'], env)
        check(shown.returncode == 0 and shown.stdout.splitlines()[:1] == [f'{name} {version}'],
              f'{name} --version says "{name} {version}": {shown.stdout!r} {shown.stderr!r}')
        helped = run([program, '--help'], env)
        check(helped.returncode == 0 and 'usage:' in helped.stdout, f'{name} --help prints its usage')


def check_first_start(root, home, env, delivered):
    data = os.path.join(home, '.local/share/brenvoll')
    program = os.path.join(root, 'usr/bin/brenvoll')
    shown = run([program, '--version'], env)
    check(f'data folder: {data}' in shown.stdout, f'--version names the data folder {data}: {shown.stdout!r}')
    check(not os.path.exists(data), '--version makes no data folder')
    started = run([program, '--check-start'], env)
    print(started.stdout + started.stderr)
    check(started.returncode == 0, 'the unpacked program starts')
    check('window: 登录 (Form5)' in started.stdout, 'the login window shows')
    database = os.path.join(data, '数据库.db')
    if check(os.path.isfile(database), 'the first start copied the delivered database into the data folder'):
        with open(database, 'rb') as copy, open(delivered, 'rb') as original:
            check(copy.read() == original.read(), 'the copy is the delivered database')
        check(os.stat(database).st_mode & 0o077 == 0, 'the copy in the home folder is the user\'s alone')
    check(not os.path.exists(os.path.join(root, LIB, '数据库.drafts')), 'nothing is written beside the program')
    return database


def check_report(root, names, database, env):
    if 'brenvoll-report' not in names:
        print('brenvoll-report: not in this package')
        return
    out = os.path.join(os.path.dirname(database), 'count.csv')
    report = run([os.path.join(root, 'usr/bin/brenvoll-report'), 'statistics', '--db', database,
                  '--from', '2000-01-01', '--to', '2099-12-31', '--csv', out], env)
    # The delivered database holds no examination: read, it has nothing to
    # count, which the command says in one line, writing nothing.
    check(report.returncode == 2 and 'no examinations' in report.stderr and not os.path.exists(out),
          f'brenvoll-report reads the copied database: {report.stdout!r} {report.stderr!r}')


def check_validators(deb, root):
    desktop = run(['desktop-file-validate',
                   os.path.join(root, 'usr/share/applications/org.brenvoll.Brenvoll.desktop')])
    check(desktop.returncode == 0, f'desktop-file-validate: {desktop.stdout}{desktop.stderr}')
    appstream = run(['appstreamcli', 'validate', '--no-net',
                     os.path.join(root, 'usr/share/metainfo/org.brenvoll.Brenvoll.metainfo.xml')])
    check(appstream.returncode == 0, f'appstreamcli validate: {appstream.stdout}{appstream.stderr}')
    lintian = run(['lintian', '--no-tag-display-limit', deb], timeout=600)
    print(lintian.stdout)
    errors = [line for line in lintian.stdout.splitlines() if line.startswith('E:')]
    check(lintian.returncode in (0, 1) and not errors, f'lintian reports no errors: {errors} {lintian.stderr}')
    warnings = [line for line in lintian.stdout.splitlines()
                if line.startswith('W:') and line.split()[2] not in KEPT_WARNINGS]
    check(not warnings, f'lintian warns of nothing but the kept warnings: {warnings}')


def main():
    debs = sorted(glob.glob(os.path.join(sys.argv[1], 'brenvoll_*_amd64.deb')))
    if not debs:
        print(f'SKIP: no brenvoll_*_amd64.deb in {sys.argv[1]} (tools/package.sh makes it)')
        return 77
    missing = [tool for tool in ('dpkg-deb', 'lintian', 'desktop-file-validate', 'appstreamcli')
               if not shutil.which(tool)]
    if not check(not missing, f'the checkers are installed (tools/install-deps.sh --test): missing {missing}'):
        return 1
    deb = debs[-1]
    version = package_field(deb, 'Version').split('-')[0]
    print(f'{os.path.basename(deb)}: version {version}')
    check(os.path.basename(deb) == f'brenvoll_{package_field(deb, "Version")}_amd64.deb', 'the file is named as Debian names it')
    depends = package_field(deb, 'Depends')
    check('libqt6widgets6' in depends and 'libqt6sql6-sqlite' in depends and 'libsqlite3' in depends,
          f'Depends names the libraries and the SQL driver: {depends}')
    check('postgresql-client' in package_field(deb, 'Recommends'), 'postgresql-client is recommended')
    with tempfile.TemporaryDirectory() as temp:
        root = os.path.join(temp, 'root')
        home = os.path.join(temp, 'home')
        os.makedirs(home)
        if not check(run(['dpkg-deb', '-x', deb, root]).returncode == 0, 'dpkg-deb -x unpacks the package'):
            return 1
        env = {k: v for k, v in os.environ.items() if not k.startswith('XDG_')}
        env.update(HOME=home, QT_QPA_PLATFORM='offscreen', LC_ALL='C.UTF-8')
        check_files(root, version)
        names = commands(root)
        check_commands(root, names, version, env)
        database = check_first_start(root, home, env, os.path.join(root, LIB, '数据库.db'))
        check_report(root, names, database, env)
        check_validators(deb, root)
    print(f'{len(failures)} failure(s)')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
