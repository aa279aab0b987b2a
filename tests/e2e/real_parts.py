# What the tests of crevik behind real servers and writers share: checks that
# collect failures, trees, made-up file contents and their .sfv, free ports
# and the contrib/ configurations with their @...@ words filled in.
import os, re, socket, zlib

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what)


def tree(path):  # sorted entries, directories with '/', measured speeds as '*'
    names = [n + '/' * os.path.isdir(os.path.join(path, n)) for n in os.listdir(path)]
    return sorted(re.sub(r' at [\d.]+[KMG]Bps\]', ' at *]', n) for n in names)


def expect_tree(path, *names):
    check(tree(path) == sorted(names), '%s:\n  %s\n  expected %s' % (path, tree(path), sorted(names)))


def content(name, size=3000, damaged=False):
    data = bytearray((name.encode() * size)[:size])
    data[size // 2] ^= damaged
    return bytes(data)


def sfv_text(files):  # {name: size}
    return b''.join(b'%s %08X\r\n' % (n.encode(), zlib.crc32(content(n, s))) for n, s in files.items())


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def filled(conf, words, out):  # conf with every @WORD@ replaced; an unknown word fails
    open(out, 'w').write(re.sub(r'@[A-Z]+@', lambda m: words[m.group()], open(conf).read()))


def finish():
    print('%d failures' % len(failures))
    return 1 if failures else 0
