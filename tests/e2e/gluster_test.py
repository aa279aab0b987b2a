#!/usr/bin/env python3
# Two hosts on one upload area with LOCK=shared, stood in for by two FUSE
# mounts of one GlusterFS volume (brick in a temporary directory), mounted as
# the README's "Several hosts" says: two proftpd servers raced by two FTP
# clients, two watchers fed by two writers, a run killed mid-CRC.
# Usage: gluster_test.py CREVIK PROFTPD_CONF. Exits 77 (skipped) without root, /dev/fuse, glusterd or proftpd.
import glob, json, os, shutil, signal, socket, subprocess, sys, tempfile, threading, time
import proftpd_test as ftp
import watch_test as watch
from real_parts import check, expect_tree, finish

MOUNT_OPTIONS = 'entry-timeout=0,attribute-timeout=0,gid-timeout=0'  # as README.md, "Several hosts", says
VOLUME_OFF = ('performance.stat-prefetch',)
GLUSTERD_VOL = ('volume management\n type mgmt/glusterd\n option transport-type socket\n option working-directory %(dir)s/state\n'
                ' option glusterd-sockfile %(dir)s/cli.socket\nend-volume\n')


class Gluster:  # a glusterd of its own, one volume, two mounts; stop() undoes whatever was done
    def __init__(self, root):
        self.dir, self.name, self.mounts, self.pid, self.volume = root + '/gluster', 'crevik%d' % os.getpid(), [], None, False
        self.sockets, self.brick_log = set(glob.glob('/var/run/gluster/*.socket')), '/var/log/glusterfs/bricks/%s-brick.log' % root[1:].replace('/', '-')
        os.makedirs(self.dir + '/state')
        open(self.dir + '/glusterd.vol', 'w').write(GLUSTERD_VOL % {'dir': self.dir})
        subprocess.run(['glusterd', '-f', self.dir + '/glusterd.vol', '-p', self.dir + '/pid', '-l', self.dir + '/log'], check=True)
        watch.until(lambda: os.path.exists(self.dir + '/pid') and self.cli('volume', 'list', quiet=True), 'glusterd answers')
        self.pid, host = int(open(self.dir + '/pid').read()), socket.gethostname()
        self.volume = self.cli('volume', 'create', self.name, '%s:%s/brick' % (host, root), 'force')
        [self.cli('volume', 'set', self.name, option, 'off') for option in VOLUME_OFF]
        self.cli('volume', 'start', self.name)
        for m in (root + '/m1', root + '/m2'):
            os.makedirs(m)
            subprocess.run(['mount', '-t', 'glusterfs', '-o', MOUNT_OPTIONS + ',log-file=%s.log' % m, '%s:/%s' % (host, self.name), m],
                           check=True)
            self.mounts.append(m)

    def cli(self, *words, quiet=False):
        r = subprocess.run(['gluster', '--mode=script', '--glusterd-sock=' + self.dir + '/cli.socket', *words], capture_output=True, text=True)
        quiet or check(r.returncode == 0, 'gluster %s: %s%s' % (' '.join(words), r.stdout, r.stderr))
        return r.returncode == 0

    def stop(self):
        for m in self.mounts:
            subprocess.run(['umount', m]).returncode == 0 or subprocess.run(['umount', '-l', m])
        self.volume and self.cli('volume', 'stop', self.name, 'force') and self.cli('volume', 'delete', self.name)
        if self.pid:
            os.kill(self.pid, signal.SIGTERM)
            watch.until(lambda: not os.path.exists('/proc/%d' % self.pid), 'glusterd ends')
        # What glusterd left in the machine's own places for this volume.
        for left in set(glob.glob('/var/run/gluster/*.socket')) - self.sockets | {self.brick_log}:
            os.path.exists(left) and os.remove(left)
        shutil.rmtree('/var/run/gluster/vols/' + self.name, ignore_errors=True)


def ftp_race(root):  # one release raced through both servers, a damaged file sent again
    servers = [ftp.Server(root, root + '/bin%d' % i, False, 'server%d' % i) for i in (1, 2)]
    try:
        ann, joe = servers[0].login('ann', 'up'), servers[1].login('joe', 'up')
        files, rel = {'r.r%02d' % i: 2048 for i in range(20)}, root + '/m2/ftp/up/Race'  # 2 KB each, the .sfv 1 KB
        ann.mkd('Race')
        ftp.put_sfv(ann, 'Race', 'r.sfv', files)
        names = sorted(files)
        mine = {ann: names[0::2], joe: names[1::2]}
        ftp.put(joe, 'Race', names[1], files[names[1]], damaged=True)
        racers = [threading.Thread(target=lambda u: [ftp.put(u, 'Race', n, files[n]) for n in mine[u]], args=(u,)) for u in mine]
        [t.start() for t in racers]
        [t.join() for t in racers]
        check(ftp.statuses(rel) == {'ann': ['N'] + ['S'] * 10, 'joe': ['S'] * 10}, 'Race records: %s' % ftp.statuses(rel))
        expect_tree(rel, '.upChk.log', '.upChk.log.lock', '[100% COMPLETE]-[#20@40KB files at *]/', '[UP #11@21KB by ann@flow at *]/',
                    '[UP #10@20KB by joe@crew at *]/', *names, 'r.sfv', 'race.txt')
        check('Race' in open(rel + '/race.txt').read(), 'no race report')
        events = [json.loads(line)['event'] for line in open(root + '/m1/crevik/race.feed')]
        check([events.count(e) for e in ('good', 'bad', 'complete')] == [20, 1, 1], 'feed events: %s' % events)
        ftp.throttled(ann, root + '/m1/ftp/up/Throttled')  # no birth time on the volume: the throttle's speed all the same
    finally:
        [s.stop() for s in servers]
    [check(open(root + '/bin%d/Crevik.log' % i).read() == '', 'Crevik.log %d' % i) for i in (1, 2)]


def two_watchers(root):  # each watcher sees only its own mount's writes
    stage, rels = root + '/stage', [root + '/m%d/wup/Rel' % i for i in (1, 2)]
    names = ['w%02d.r00' % i for i in range(12)]
    watch.make_release(stage, names)
    os.makedirs(rels[0])
    watchers = [setattr(watch, 'CREVIK', root + '/bin%d/crevik' % i) or watch.Watcher(root + '/m%d/wup' % i) for i in (1, 2)]
    cp = subprocess.Popen(['cp'] + [stage + '/' + n for n in names[0::2]] + [rels[0]])
    subprocess.run(['rsync', '-a'] + [stage + '/' + n for n in names[1::2]] + [stage + '/rel.sfv', rels[1]], check=True)
    cp.wait()
    watch.until(lambda: watch.complete(rels[0], 12) and len(watch.records(rels[0])) == 13, 'both writers complete Rel')
    check([w.stop()[3] for w in watchers] == [0, 0], 'runs left undone')


def killed_holder(root):  # SIGKILL mid-CRC through one mount; the other mount's run goes on
    os.makedirs(rel := root + '/m1/Kill')
    open(rel + '/big.r00', 'wb').write(os.urandom(64 << 20))
    open(rel + '/k.sfv', 'w').write('big.r00 00000000\nsmall.r00 00000000\n')  # the CRC of an empty file is 0
    open(rel + '/small.r00', 'w').close()
    run = subprocess.Popen([root + '/bin1/crevik', 'upload', rel + '/big.r00', 'ann', 'flow'])
    watch.until(lambda: 'big.r00' in subprocess.run(['ls', '-l', '/proc/%d/fd' % run.pid], capture_output=True, text=True).stdout,
                'the CRC starts')
    run.kill()
    run.wait()
    started = time.time()
    other = subprocess.run([root + '/bin2/crevik', 'upload', root + '/m2/Kill/small.r00', 'joe', 'crew'], timeout=60)
    print('[  figures ] the other mount\'s run ended %.2f s after the kill' % (time.time() - started))
    check(other.returncode == 0 and time.time() - started < 10, 'the run after the killed one waited')
    check([l.split('|')[1] for l in open(rel + '/.upChk.log')] == ['joe'], 'killed before its record: ' + open(rel + '/.upChk.log').read())


def main():
    tools = ('glusterd', 'gluster', 'mount.glusterfs', ftp.PROFTPD, ftp.FTPASSWD, 'rsync')
    if os.geteuid() != 0 or not os.path.exists('/dev/fuse') or not all(map(shutil.which, tools)):
        return print('SKIP: the GlusterFS test needs root, /dev/fuse, glusterd (Debian: glusterfs-server), proftpd and rsync') or 77
    if socket.socket().connect_ex(('127.0.0.1', 24007)) == 0:
        return print('SKIP: a glusterd already runs here (port 24007); the test starts its own') or 77
    root, gluster = tempfile.mkdtemp(prefix='crevik-gluster-'), None
    os.chmod(root, 0o755)
    try:
        gluster = Gluster(root)
        for i in (1, 2):  # each host its own program, settings and server, as the README makes them
            bin_dir, server = '%s/bin%d' % (root, i), '%s/server%d' % (root, i)
            [os.mkdir(d) for d in (bin_dir, server)]
            shutil.copy(ftp.CREVIK, bin_dir + '/crevik')
            ini = open(ftp.SOURCE + '/Crevik.ini.example').read()
            open(bin_dir + '/Crevik.ini', 'w').write(ini.replace('\nLOCK=local', '\nLOCK=shared'))
            ftp.readme_steps(root, bin_dir, server, '%s/m%d' % (root, i))
        open(root + '/m1/ftp/up/.ftpaccess', 'w').write('TransferRate STOR 200\n')  # for the throttled upload
        os.mkdir(root + '/m1/wup')
        [phase(root) for phase in (ftp_race, two_watchers, killed_holder)]
    finally:
        [proc.kill() or proc.wait() for proc in watch.started if proc.poll() is None]
        gluster and gluster.stop()
        shutil.rmtree(root, ignore_errors=True)
    return finish()


sys.exit(main())
