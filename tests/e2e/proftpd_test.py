#!/usr/bin/env python3
# crevik behind a real proftpd on 127.0.0.1, configured by contrib/proftpd-crevik.conf as it is (its @...@ words filled
# in) on a site set up by the README's steps: mod_exec runs the program on every upload and delete of a real FTP client.
# Usage: proftpd_test.py CREVIK CONF [--installed]: the package's program where it is, else the built one put where
# the package puts it. Exits 77 (skipped) without root or proftpd.
import ftplib, io, os, re, shutil, stat, struct, subprocess, sys, tempfile, threading, time, zipfile
from real_parts import check, content, expect_tree, failures, filled, finish, free_port, sfv_text, tree

CREVIK, CONF = sys.argv[1:3]
INSTALLED = sys.argv[3:] == ['--installed']
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(CONF)))  # the README and Crevik.ini.example beside contrib/
PROFTPD, FTPASSWD = shutil.which('proftpd') or '/usr/sbin/proftpd', '/usr/sbin/ftpasswd'
SITE = 3000  # the group all FTP users share, owner of the upload areas, as the README makes it
def put(ftp, path, name, size, damaged=False):
    ftp.storbinary('STOR %s/%s' % (path, name), io.BytesIO(content(name, size, damaged)))


def put_zip(ftp, path, i, damaged=False):  # volume i of 3, by Python's zipfile; damaged in its stored file_id.diz
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w') as z:
        z.writestr('file_id.diz', 'Zip Tool [%02d/03]\r\n' % i)
        z.writestr('tool.r%02d' % i, content('tool.r%02d' % i), zipfile.ZIP_DEFLATED)
    data = bytearray(out.getvalue())
    data[45] ^= damaged
    ftp.storbinary('STOR %s/tool%d.zip' % (path, i), io.BytesIO(bytes(data)))


def put_sfv(ftp, path, name, files):  # files: {name: size}
    ftp.storbinary('STOR %s/%s' % (path, name), io.BytesIO(sfv_text(files)))


def statuses(release):  # {user: sorted statuses of his records in the upload log}
    out = {}
    for fields in (line.split('|') for line in open(release + '/.upChk.log').read().splitlines()):
        out[fields[1]] = sorted(out.get(fields[1], []) + [fields[5]])
    return out


def readme_steps(root, bin_dir, server=None, srv=None):  # the README's shell lines of its proftpd section, in order
    text = open(SOURCE + '/README.md').read()
    section = text[text.index('\n## proftpd\n'):text.index('\n## Layout\n')]
    for line in re.findall(r'^    ((?:echo secret \| )?(?:ftpasswd|mkdir|chgrp|touch|sed|cp) .*)$', section, re.M):
        line = line.replace('/etc/proftpd/', (server or root + '/server') + '/').replace('/srv/', (srv or root + '/srv') + '/')
        if not INSTALLED:
            line = line.replace('/opt/crevik/', bin_dir + '/')
        done = subprocess.run(line, shell=True, capture_output=True, text=True)
        check(done.returncode == 0, 'README step failed: %s\n%s' % (line, done.stderr))


class Server:  # proftpd in the foreground, stopped by its pid
    def __init__(self, root, bin_dir, jail, name='server'):
        self.port, self.dir, self.clients = free_port(), root + '/' + name, []
        filled(CONF, {'@ADDRESS@': '127.0.0.1', '@PORT@': str(self.port), '@ROOT@': self.dir,
                      '@CREVIK@': bin_dir + '/crevik'}, self.dir + '/proftpd.conf')
        self.proc = subprocess.Popen([PROFTPD, '-n', '-c', self.dir + '/proftpd.conf'] + ['-D', 'JAIL'] * jail,
                                     stdout=subprocess.DEVNULL, stderr=open(self.dir + '/stderr', 'w'))

    def login(self, user, cwd=None):
        for _ in range(100):  # until it listens
            try:
                ftp = ftplib.FTP()
                ftp.connect('127.0.0.1', self.port, timeout=60)
                ftp.login(user, 'secret')
                cwd and ftp.cwd(cwd)
                self.clients.append(ftp)
                return ftp
            except ConnectionRefusedError:
                time.sleep(0.1)
        raise RuntimeError('proftpd does not listen: ' + open(self.dir + '/stderr').read())

    def stop(self):  # the sessions end with their connections
        for ftp in self.clients:
            ftp.close()
        self.proc.terminate()
        self.proc.wait()
        for log in [self.dir + '/' + n for n in ('stderr', 'exec.log') if failures]:
            print('--- %s\n%s' % (log, open(log).read()[-3000:] if os.path.exists(log) else ''))


def plain_site(server, up):
    ann, joe = server.login('ann', 'up'), server.login('joe', 'up')
    # .sfv first, then the files; a delete after completion reopens the release.
    rel, files = up + '/Sfv.First', {'a.r00': 5000, 'a.r01': 6000, 'a.r02': 7000}
    ann.mkd('Sfv.First')
    put_sfv(ann, 'Sfv.First', 'a.sfv', files)
    expect_tree(rel, '.upChk.log', '[0% DONE]-[0 of 3 files checked]/', '[UP #1@1KB by ann@flow at *]/',
                'a.r00-missing', 'a.r01-missing', 'a.r02-missing', 'a.sfv')
    started = time.time()
    for name, size in files.items():
        put(ann, 'Sfv.First', name, size)
    print('[  figures ] 3 uploads, each answered after its check: %.1f ms each' % ((time.time() - started) / 3 * 1000))
    complete = ['.upChk.log', '[100% COMPLETE]-[#3@18KB files at *]/', 'a.r00', 'a.r01', 'a.r02', 'a.sfv', 'race.txt']
    expect_tree(rel, *complete, '[UP #4@19KB by ann@flow at *]/')
    check('Sfv.First' in open(rel + '/race.txt').read(), 'no race report on Sfv.First')
    ann.delete('Sfv.First/a.r01')
    expect_tree(rel, '.upChk.log', '[66% DONE]-[2 of 3 files checked]/', '[UP #3@13KB by ann@flow at *]/',
                'a.r00', 'a.r01-missing', 'a.r02', 'a.sfv')
    check('[--INCOMPLETE--]-[Sfv.First]' in os.listdir(up), 'the delete did not reopen Sfv.First')
    put(joe, 'Sfv.First', 'a.r01', 6000)
    expect_tree(rel, *complete, '[UP #1@6KB by joe@crew at *]/', '[UP #3@13KB by ann@flow at *]/')

    # Files first, one damaged, then the .sfv; the damaged one again, intact.
    rel, files = up + '/Files.First', {'b.r00': 3000, 'b.r01': 3000, 'b.r02': 3000}
    joe.mkd('Files.First')
    for name, size in files.items():
        put(joe, 'Files.First', name, size, damaged=name == 'b.r01')
    expect_tree(rel, '.upChk.log', '[UP #3@9KB by joe@crew at *]/', 'b.r00', 'b.r01', 'b.r02')
    put_sfv(joe, 'Files.First', 'b.sfv', files)
    expect_tree(rel, '.upChk.log', '[66% DONE]-[2 of 3 files checked]/', '[UP #4@10KB by joe@crew at *]/',
                'b.r00', 'b.r01-missing', 'b.r01.bad', 'b.r02', 'b.sfv')
    put(joe, 'Files.First', 'b.r01', 3000)
    expect_tree(rel, '.upChk.log', '[100% COMPLETE]-[#3@9KB files at *]/', '[UP #4@10KB by joe@crew at *]/',
                'b.r00', 'b.r01', 'b.r02', 'b.sfv', 'race.txt')

    # A zip release: each volume tested as it arrives, counted by the file_id.diz of the first good one.
    rel = up + '/Zip.Tool'
    joe.mkd('Zip.Tool')
    for i in (2, 1, 3):
        put_zip(joe, 'Zip.Tool', i, damaged=i == 1)
    expect_tree(rel, '.upChk.log', '[66% DONE]-[2 of 3 files checked]/', '[UP #3@3KB by joe@crew at *]/', 'file_id.diz',
                'tool1.zip.bad', 'tool2.zip', 'tool3.zip')
    put_zip(ann, 'Zip.Tool', 1)
    expect_tree(rel, '.upChk.log', '[100% COMPLETE]-[#3@3KB files at *]/', '[UP #1@1KB by ann@flow at *]/',
                '[UP #2@2KB by joe@crew at *]/', 'file_id.diz', 'race.txt', 'tool1.zip', 'tool2.zip', 'tool3.zip')
    check(open(rel + '/file_id.diz', newline='').read() == 'Zip Tool [02/03]\r\n',
          'file_id.diz is not the first good volume\'s')

    # Two users race on one release, each on his own connection.
    rel, files = up + '/Race', {'r.r%02d' % i: 2000 + i for i in range(30)}
    ann.mkd('Race')
    put_sfv(ann, 'Race', 'r.sfv', files)
    names = sorted(files)
    racers = [threading.Thread(target=lambda u, mine: [put(u, 'Race', n, files[n]) for n in mine], args=(u, names[i::2]))
              for i, u in enumerate((ann, joe))]
    for t in racers:
        t.start()
    for t in racers:
        t.join()
    check(statuses(rel) == {'ann': ['N'] + ['S'] * 15, 'joe': ['S'] * 15}, 'Race records: %s' % statuses(rel))
    expect_tree(rel, '.upChk.log', '[100% COMPLETE]-[#30@60KB files at *]/', '[UP #16@31KB by ann@flow at *]/',
                '[UP #15@30KB by joe@crew at *]/', *names, 'r.sfv', 'race.txt')

    # A release on two discs: one incomplete entry per disc.
    ann.mkd('Two.Disc')
    for cd in ('CD1', 'CD2'):
        ann.mkd('Two.Disc/' + cd)
        put_sfv(ann, 'Two.Disc/' + cd, 'cd.sfv', {'x.r00': 1000, 'x.r01': 1000})
    check('[--INCOMPLETE--]-[Two.Disc-CD1]' in os.listdir(up), 'no incomplete entry for CD1')
    for cd, name in ('CD1', 'x.r00'), ('CD1', 'x.r01'), ('CD2', 'x.r00'):
        put(joe, 'Two.Disc/' + cd, name, 1000)
    expect_tree(up + '/Two.Disc/CD2', '.upChk.log', '[50% DONE]-[1 of 2 files checked]/',
                '[UP #1@1KB by ann@flow at *]/', '[UP #1@1KB by joe@crew at *]/', 'cd.sfv', 'x.r00', 'x.r01-missing')
    expect_tree(up, 'Files.First/', 'Race/', 'Sfv.First/', 'Two.Disc/', 'Zip.Tool/',
                '[--INCOMPLETE--]-[Two.Disc-CD2]')

    throttled(ann, os.path.dirname(up) + '/slow/Throttled')


# Throttled, a re-upload's speed counts from its own start (from the first upload's: under 120 KB/s) to its last
# write, before the server's last throttle pause: long enough, that pause weighs little against 200 KB/s.
def throttled(ann, slow):
    ann.mkd(slow)
    put(ann, slow, 't.r00', 1024)
    time.sleep(1)
    started = time.time()
    put(ann, slow, 't.r00', 1500 * 1024)
    [updir] = [n for n in os.listdir(slow) if n.startswith('[UP #1@') and ' by ann@flow at ' in n]
    value, unit = re.search(r' at ([\d.]+)([KM])Bps\]', updir).groups()
    speed = float(value) * (1024 if unit == 'M' else 1)
    print('[  figures ] %s: 1500 KB in %.2f s through a 200 KB/s throttle' % (updir, time.time() - started))
    check(150 <= speed <= 250, 'speed %.0f KB/s of a 200 KB/s throttle' % speed)


def jailed_site(server, jail):  # crevik and Crevik.ini inside the jail, %F
    jim = server.login('jim')
    check(jim.pwd() == '/', 'jim is not locked into his home')
    jim.mkd('/up/Jailed')
    put_sfv(jim, '/up/Jailed', 'j.sfv', {'j.r00': 4000, 'j.r01': 4000})
    put(jim, '/up/Jailed', 'j.r00', 4000)
    put(jim, '/up/Jailed', 'j.r01', 4000)
    expect_tree(jail + '/up/Jailed', '.upChk.log', '[100% COMPLETE]-[#2@8KB files at *]/',
                '[UP #3@9KB by jim@crew at *]/', 'j.r00', 'j.r01', 'j.sfv', 'race.txt')
    jim.delete('/up/Jailed/j.r01')
    expect_tree(jail + '/up/Jailed', '.upChk.log', '[50% DONE]-[1 of 2 files checked]/',
                '[UP #2@5KB by jim@crew at *]/', 'j.r00', 'j.r01-missing', 'j.sfv')
    check({'Jailed/', '[--INCOMPLETE--]-[Jailed]'} <= set(tree(jail + '/up')), 'jailed: %s' % tree(jail + '/up'))


def quiet_and_shared(bin_dir, area):  # nothing logged; all below the area the group's and writable by it
    check(open(bin_dir + '/Crevik.log').read() == '', 'Crevik.log: ' + open(bin_dir + '/Crevik.log').read())
    for dirpath, dirs, files in os.walk(area):
        for name in dirs + files:
            st = os.lstat(os.path.join(dirpath, name))
            check(st.st_gid == SITE and st.st_mode & stat.S_IWGRP, "not the group's: %s/%s" % (dirpath, name))


def is_static(path):  # no program interpreter among the ELF program headers
    h = open(path, 'rb').read(4096)
    off, (size, count) = struct.unpack_from('<Q', h, 0x20)[0], struct.unpack_from('<HH', h, 0x36)
    return all(struct.unpack_from('<I', h, off + i * size)[0] != 3 for i in range(count))


def run(root, bin_dir, jail):
    home = root + '/srv/ftp'
    server = Server(root, bin_dir, jail)
    try:
        jailed_site(server, home) if jail else plain_site(server, home + '/up')
    finally:
        server.stop()
    quiet_and_shared(home + '/crevik' if jail else bin_dir, home + '/up')
    feed = root + '/srv/crevik/race.feed'  # written by every user's runs
    check(jail or all(os.path.exists(feed) and '"user":"%s"' % u in open(feed).read() for u in ('ann', 'joe')),
          'the feed lacks lines of ann and joe')


def main():
    if os.geteuid() != 0:
        print('SKIP: the proftpd test needs root (the server switches to its users)')
        return 77
    if not os.path.exists(PROFTPD) or not os.path.exists(FTPASSWD):
        print('SKIP: proftpd is not installed (Debian: proftpd-core)')
        return 77
    root = tempfile.mkdtemp(prefix='crevik-proftpd-')
    bin_dir = os.path.dirname(os.path.abspath(CREVIK)) if INSTALLED else root + '/bin'
    try:
        os.chmod(root, 0o755)
        os.mkdir(root + '/server')
        if not INSTALLED:  # what the package installs
            os.mkdir(bin_dir)
            shutil.copy(CREVIK, bin_dir + '/crevik')
            shutil.copy(SOURCE + '/Crevik.ini.example', bin_dir + '/Crevik.ini')
        readme_steps(root, bin_dir)
        slow = root + '/srv/ftp/slow'  # an area of the group with a throttle
        os.mkdir(slow)
        os.chown(slow, 0, SITE)
        os.chmod(slow, 0o2775)
        open(slow + '/.ftpaccess', 'w').write('TransferRate STOR 200\n')
        os.mkdir(slow + '/By.Root')  # a run as root (the watcher's) creates the feed: the FTP users must write it too
        open(slow + '/By.Root/r.sfv', 'w').close()
        subprocess.run([bin_dir + '/crevik', 'upload', slow + '/By.Root/r.sfv', 'root', 'root'], check=True)
        run(root, bin_dir, jail=False)
        if is_static(CREVIK):
            run(root, bin_dir, jail=True)
        else:
            print('SKIP: the DefaultRoot case: %s is not linked statically (sanitizer build)' % CREVIK)
    finally:
        shutil.rmtree(root)
    return finish()


if __name__ == '__main__':
    sys.exit(main())
