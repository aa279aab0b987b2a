#!/usr/bin/env python3
# crevik watch on an upload area fed by real writers: OpenSSH's internal-sftp
# (configured by contrib/sshd-crevik.conf as it is, its @...@ words filled in)
# driven by the sftp client, cp, mv and rsync. Runs are counted by the
# watcher's own summary line, never timed.
# Usage: watch_test.py CREVIK CONF. Exits 77 (skipped) without root or the tools.
import fcntl, os, re, shutil, signal, subprocess, sys, tempfile, threading, time
from real_parts import check, content, failures, filled, finish, free_port, sfv_text, tree

CREVIK, CONF = sys.argv[1:3]
SSHD = '/usr/sbin/sshd'
started = []  # every server and watcher, stopped by pid even when a check fails


def until(cond, what, seconds=60):  # waits for a state, not for a time
    end = time.time() + seconds
    while time.time() < end:
        if cond():
            return True
        time.sleep(0.02)
    check(False, 'never happened: ' + what)
    return False


def make_release(path, files, damaged=()):  # files first, then the .sfv
    os.makedirs(path, exist_ok=True)
    for f in files:
        open(os.path.join(path, f), 'wb').write(content(f, damaged=f in damaged))
    open(os.path.join(path, 'rel.sfv'), 'wb').write(sfv_text({f: 3000 for f in files}))


def records(release):  # {name-less key: (user, group, status)} of the upload log, checking every line's form
    text = open(os.path.join(release, '.upChk.log')).read()
    lines = text.splitlines()
    check(all(re.fullmatch(r'\d+\|[^|]+\|[^|]+\|\d+\|\d+\|[NSF]', l) for l in lines) and text.endswith('\n'), 'torn log ' + release)
    return [tuple(l.split('|')[i] for i in (1, 2, 5)) for l in lines]


def runs_under_way(path):  # process ids of upload and delete runs on files below path
    found = []
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            words = open('/proc/%s/cmdline' % pid, 'rb').read().split(b'\0')
        except OSError:
            continue
        found += [pid] * (len(words) > 2 and words[1] in (b'upload', b'delete') and words[2].startswith(path.encode()))
    return found


def complete(release, count):
    return ('[100%% COMPLETE]-[#%d@%dKB files at *]/' % (count, 3 * count)) in tree(release)


class Watcher:  # crevik watch in the foreground, stopped by its pid
    def __init__(self, area, *options, prefix=()):
        self.err = tempfile.TemporaryFile('w+')
        self.proc = subprocess.Popen([*prefix, CREVIK, 'watch', *options, area], stderr=self.err)
        started.append(self.proc)
        until(lambda: 'watching' in self.stderr(), 'the watcher watches')

    def stderr(self):
        self.err.seek(0)
        return self.err.read()

    def stop(self, runs=None):  # -> (upload, delete, rescan, not run) counts of its summary
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = 'none within 30 s'
        check(code == 0, 'watcher exit status %s' % code)
        m = re.search(r'stopped after \d+ runs \((\d+) upload, (\d+) delete, (\d+) rescan\), (\d+) not run', self.stderr())
        counts = tuple(map(int, m.groups())) if m else self.stderr()
        check(runs is None or counts == runs, 'runs %s, expected %s' % (counts, runs))
        return counts


class Sshd:  # sshd in the foreground, stopped by its pid
    def __init__(self, root, jail):
        self.port, self.dir = free_port(), root + '/sshd'
        os.makedirs(self.dir + '/keys')
        os.makedirs('/run/sshd', exist_ok=True)  # its privilege separation directory
        for key in ('ssh_host_ed25519_key', 'client'):
            subprocess.run(['ssh-keygen', '-q', '-t', 'ed25519', '-N', '', '-f', self.dir + '/' + key], check=True)
        shutil.copy(self.dir + '/client.pub', self.dir + '/keys/root')
        filled(CONF, {'@ADDRESS@': '127.0.0.1', '@PORT@': str(self.port), '@ROOT@': self.dir, '@WHO@': 'User root',
                      '@JAIL@': jail}, self.dir + '/sshd_config')
        self.proc = subprocess.Popen([SSHD, '-D', '-e', '-f', self.dir + '/sshd_config'], stderr=open(self.dir + '/stderr', 'w'))
        started.append(self.proc)
        until(lambda: self.sftp('pwd', quiet=True), 'sshd answers')

    def sftp(self, *commands, quiet=False):
        r = subprocess.run(['sftp', '-b', '-', '-i', self.dir + '/client', '-P', str(self.port), '-o', 'BatchMode=yes',
                            '-o', 'StrictHostKeyChecking=no', '-o', 'UserKnownHostsFile=/dev/null', '-o', 'LogLevel=ERROR',
                            'root@127.0.0.1'], input='\n'.join(commands) + '\n', capture_output=True, text=True)
        quiet or check(r.returncode == 0, 'sftp %s: %s' % (commands, r.stderr))
        return r.returncode == 0


def sftp_release(root, up):  # a release over SFTP: one damaged file put again, a rm and a put
    sshd, w = Sshd(root, root + '/jail'), Watcher(up)
    local, rel = root + '/local', up + '/Sftp.Rel'
    make_release(local, ['a.r00', 'a.r01', 'a.r02'], damaged=['a.r01'])
    sshd.sftp('mkdir /up/Sftp.Rel', 'cd /up/Sftp.Rel', 'lcd ' + local, 'put rel.sfv', 'put a.r00', 'put a.r01', 'put a.r02')
    until(lambda: {'a.r01.bad', 'a.r01-missing'} <= set(tree(rel)), 'the damaged file set aside')
    open(local + '/a.r01', 'wb').write(content('a.r01'))
    sshd.sftp('put %s/a.r01 /up/Sftp.Rel/a.r01' % local)
    # The completing run makes the completion directory before it writes the report and saves the log.
    done = ['.upChk.log', '[100% COMPLETE]-[#3@9KB files at *]/', '[UP #4@10KB by root@root at *]/', 'a.r00', 'a.r01',
            'a.r02', 'race.txt', 'rel.sfv']
    if not until(lambda: tree(rel) == done and sorted(records(rel)) == [('root', 'root', 'N')] + [('root', 'root', 'S')] * 3,
                 'the SFTP release completes'):
        print('  tree %s\n  records %s' % (tree(rel), records(rel)))
    sshd.sftp('rm /up/Sftp.Rel/a.r02')
    until(lambda: {'a.r02-missing', '[66% DONE]-[2 of 3 files checked]/'} <= set(tree(rel)) and 'race.txt' not in tree(rel)
          and '[--INCOMPLETE--]-[Sftp.Rel]' in tree(up), 'the rm reopens the release')
    sshd.sftp('put %s/a.r02 /up/Sftp.Rel/a.r02' % local)
    until(lambda: complete(rel, 3) and 'race.txt' in tree(rel) and 'a.r02-missing' not in tree(rel), 'the put completes it again')
    # One run per put and rm: markers, .bad copies, the log, status entries and the report started none.
    w.stop(runs=(6, 1, 0, 0))
    sshd.proc.terminate()
    sshd.proc.wait(30)


def new_directories(root, up):  # a file in a new directory is one run, however its close and the listing meet
    w = Watcher(up)
    for i in range(200):
        os.makedirs('%s/New/%03d' % (up, i))
        with open('%s/New/%03d/f.r00' % (up, i), 'wb') as f:
            for k in range(i % 7):  # closes spread over the moments the watcher lists the new directory
                f.write(b'x' * 300)
                time.sleep(0.0005 * k)
    logs = ['%s/New/%03d/.upChk.log' % (up, i) for i in range(200)]
    until(lambda: all(os.path.exists(log) and len(records(os.path.dirname(log))) == 1 for log in logs), 'every file recorded')
    w.stop(runs=(200, 0, 0, 0))
    shutil.rmtree(up + '/New')


def other_writers(root, up):  # cp, mv of a whole release, rsync, and two uploaders at once
    w = Watcher(up)
    stage = root + '/stage'
    files = ['b.r%02d' % i for i in range(6)]
    for name in ('Cp.Rel', 'Mv.Rel', 'Rsync.Rel'):
        make_release(stage + '/' + name, files)
    subprocess.run(['cp', '-r', stage + '/Cp.Rel', up], check=True)
    subprocess.run(['mv', stage + '/Mv.Rel', up], check=True)
    subprocess.run(['rsync', '-a', stage + '/Rsync.Rel', up], check=True)  # each file a temporary name, then renamed
    many = ['p%02d.r00' % i for i in range(40)]
    for name, uid in (('Par.A', 65534), ('Par.B', 4242)):  # nobody/nogroup, and an id with no name at all
        make_release(stage + '/' + name, many)
        os.makedirs(up + '/' + name)
        os.chown(up + '/' + name, -1, 1)  # set-group-ID: every file gets the group daemon, not the uploader's
        os.chmod(up + '/' + name, 0o2777)
    cps = [subprocess.Popen(['setpriv', '--reuid=%d' % uid, '--regid=%d' % uid, '--clear-groups', 'cp', '-r', stage + '/' + name + '/.',
                             up + '/' + name]) for name, uid in (('Par.A', 65534), ('Par.B', 4242))]
    [p.wait() for p in cps]
    for name, count in (('Cp.Rel', 6), ('Mv.Rel', 6), ('Rsync.Rel', 6), ('Par.A', 40), ('Par.B', 40)):
        # The .sfv's own record may come after the files it completed.
        until(lambda: complete(up + '/' + name, count) and len(records(up + '/' + name)) == count + 1,
              '%s completes with a record of every file' % name)
    check(set(records(up + '/Par.A')) == {('nobody', 'nogroup', 'S'), ('nobody', 'nogroup', 'N')}, 'owner and primary group')
    check(set(records(up + '/Par.B')) == {('-', '-', 'S'), ('-', '-', 'N')}, 'owners without a name')
    # Not a count: rsync's temporary names make runs of their own, as many as the watcher sees before each rename.
    check(w.stop()[3] == 0, 'runs left undone')


def catch_up(root, up):  # changes the watcher never saw: while it was down, and lost in a queue overflow
    rel = up + '/Cp.Rel'
    os.remove(rel + '/b.r01')
    subprocess.run(['cp', '-r', root + '/stage/Cp.Rel', up + '/Late.Rel'], check=True)
    flood, late = up + '/flood', up + '/Late.Rel'
    os.mkdir(flood)
    half = open(late + '/b.r05', 'wb', buffering=0)  # still being written: the rescan leaves it to its close
    half.write(content('b.r05')[:1000])
    w = Watcher(up, '--rescan')
    until(lambda: 'b.r01-missing' in tree(rel) and '[--INCOMPLETE--]-[Cp.Rel]' in tree(up) and
          '[83% DONE]-[5 of 6 files checked]/' in tree(late), 'the rescan at start catches up')
    half.write(content('b.r05')[1000:])
    half.close()
    until(lambda: complete(late, 6), 'the file written during the rescan completes its release')
    limit = int(open('/proc/sys/fs/inotify/max_queued_events').read())
    w.proc.send_signal(signal.SIGSTOP)
    for i in range(limit // 2 + 100):  # a created and a closed change each, of markers: no run
        open('%s/%d-missing' % (flood, i), 'w').close()
    shutil.copy(root + '/stage/Cp.Rel/b.r01', rel)
    w.proc.send_signal(signal.SIGCONT)
    until(lambda: 'overflowed' in w.stderr(), 'the overflow is reported')
    until(lambda: complete(rel, 6), 'the rescan after an overflow catches up')
    w.stop()
    # A directory past the system's limit of watches, in a user namespace of its own with just enough for the tree.
    if subprocess.run(['unshare', '-U', '-r', 'true']).returncode != 0:
        return print('skipped the limit of watches: no user namespaces')
    dirs = 1 + sum(not d.startswith('[') for _, subdirs, _ in os.walk(up) for d in subdirs)  # status directories go unwatched
    w = Watcher(up, prefix=['unshare', '-U', '-r', 'sh', '-c', 'echo %d >/proc/sys/user/max_inotify_watches && exec "$@"' % dirs, 'sh'])
    subprocess.run(['cp', '-r', root + '/stage/Cp.Rel', root + '/stage/Limit.Rel'], check=True)
    os.rename(root + '/stage/Limit.Rel', up + '/Limit.Rel')  # whole at once: an unwatched directory is only rescanned
    until(lambda: 'limit of watches is reached' in w.stderr() and complete(up + '/Limit.Rel', 6), 'an unwatched directory is rescanned')
    w.stop()


def queued_speeds(root, up):  # runs waiting in line for the release measure each upload, not the wait
    rel, w = up + '/Queue.Rel', Watcher(up)
    os.mkdir(rel)
    lock = os.open(rel, os.O_RDONLY)
    fcntl.flock(lock, fcntl.LOCK_EX)  # the release's run lock: every run waits in line
    for i in range(6):  # 1 MB in 2 writes 20 ms apart: an upload longer than a clock tick
        with open('%s/q%d.r00' % (rel, i), 'wb') as f:
            f.write(b'x' * 512 * 1024), time.sleep(0.02), f.write(b'y' * 512 * 1024)
    until(lambda: runs_under_way(rel), 'a run waits for the lock')
    time.sleep(2)  # the queue: before the fix, every speed counted these 2 s
    os.close(lock)
    until(lambda: os.path.exists(rel + '/.upChk.log') and len(records(rel)) == 6, 'every queued run records')
    speeds = [int(l.split('|')[4]) for l in open(rel + '/.upChk.log').read().splitlines()]
    check(min(speeds) > 1024, 'speeds %s KB/s of 1 MB uploads that took about 20 ms each' % speeds)
    w.stop()


def stop_while_busy(root, up):  # SIGTERM while files pour in: the runs finish first, exit 0, the log whole
    rel = up + '/Busy.Rel'
    make_release(root + '/stage/Busy.Rel', ['s%03d.r00' % i for i in range(300)])
    os.mkdir(rel)
    w = Watcher(up)
    cp = subprocess.Popen(['cp', '-r', root + '/stage/Busy.Rel/.', rel])
    until(lambda: os.path.exists(rel + '/.upChk.log') and open(rel + '/.upChk.log').read().count('\n') > 20, 'runs under way')
    lock = os.open(rel, os.O_RDONLY)
    fcntl.flock(lock, fcntl.LOCK_EX)  # the release's run lock: the next run waits for it
    until(lambda: runs_under_way(rel), 'a run waits for the lock')
    w.proc.send_signal(signal.SIGTERM)
    try:
        w.proc.wait(2)  # a watcher that leaves now leaves its run behind
    except subprocess.TimeoutExpired:
        pass
    check(w.proc.poll() is None or not runs_under_way(rel), 'the watcher left before its runs')
    os.close(lock)
    w.stop()
    cp.wait()
    records(rel)
    check(not os.path.exists(rel + '/.upChk.log.tmp'), 'a temporary log is left')


def main():
    global CREVIK
    if os.geteuid() != 0 or not all(map(shutil.which, (SSHD, 'sftp', 'ssh-keygen', 'rsync', 'setpriv'))):
        print('skipped: needs root, sshd, sftp, ssh-keygen, rsync and setpriv')
        return 77
    # sshd locks users into a directory whose every parent only root may change: not under /tmp.
    root = tempfile.mkdtemp(prefix='crevik-watch-', dir='/run')
    os.chmod(root, 0o755)
    try:
        os.makedirs(root + '/bin')
        os.symlink(os.path.abspath(CREVIK), root + '/bin/crevik')
        open(root + '/bin/Crevik.ini', 'w').write('[GENERAL]\nMESSAGE=race.txt\n')
        CREVIK = root + '/bin/crevik'
        up = root + '/jail/up'
        os.makedirs(up)
        for phase in (sftp_release, new_directories, other_writers, catch_up, queued_speeds, stop_while_busy):
            phase(root, up)
    finally:
        for proc in started:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        shutil.rmtree(root, ignore_errors=True)
    return finish()


if __name__ == '__main__':
    sys.exit(main())
