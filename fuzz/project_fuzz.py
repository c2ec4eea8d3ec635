#!/usr/bin/env python3
"""Mutated project files through `velmora params` and a 16x16 `velmora render`.

Each case must end within 10 s, without a crash or a sanitizer report and
with at most 1 GB resident.  Usage:
  nice -n 19 fuzz/project_fuzz.py PATH_TO_velmora MINUTES [SEED]
Seeds are the golden project files; failing cases are kept in a folder named
on the last line of the report.
"""
import os, random, resource, subprocess, sys, tempfile, time

TOKENS = [b'"TDiv_MP 1 0 0 5" complex', b'"TDiv_MP 1 0 0 571" oversampling',
          b'"TDiv_MP 1 0 0 1e9" blur_number_of_ssample', b'"TDiv_MP 1 0 0 0.01" blur_radius',
          b'"TDiv_BM 3 0.5 0 1E308 5 -1E308 9 1E-320" max', b'begin again', b': f f ; f',
          b'"x" var s 0 var i 1 30 for i s s + subst s next', b'"" 1048576 1 array a',
          b'2147483647 -2147483648 frames', b'-2147483648 -1 /', b'65535 65535 resolution',
          b'1 0 resolution', b'newenv', b'"../owned.avi" output_avi', b'label l goto l',
          b'"\x1b[31m" output_avi', b'(', b'"', b'1e4000', b'-1', b'$FFFFFFFF', b'dup dup +']

def mutate(rng, data):
    data = bytearray(data)
    for _ in range(rng.randint(1, 6)):
        op = rng.randrange(5)
        pos = rng.randrange(len(data) + 1)
        if op == 0 and data:
            data[rng.randrange(len(data))] = rng.randrange(256)
        elif op == 1:
            data[pos:pos] = b' ' + rng.choice(TOKENS) + b'\r\n'
        elif op == 2 and data:
            end = min(len(data), pos + rng.randint(1, 40))
            del data[pos:end]
        elif op == 3:
            data[pos:pos] = str(rng.choice([0, 1, -1, 7, 1023, 1024, 2**31 - 1, 1e300, 5e-324])).encode()
        else:
            a = rng.randrange(len(data) + 1)
            data[pos:pos] = data[a:a + rng.randint(1, 200)]
    return bytes(data)

def run(cmd, env):
    start = time.time()
    try:
        p = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=10)
    except subprocess.TimeoutExpired:
        return 'hang', time.time() - start
    err = p.stderr
    if p.returncode < 0 or p.returncode > 3 or b'Sanitizer' in err or b'runtime error' in err:
        return 'crash %d' % p.returncode, time.time() - start
    return None, time.time() - start

def main():
    binary, minutes = sys.argv[1], float(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    gold = os.path.join(root, 'tests', 'golden', 'project')
    seeds = [open(os.path.join(gold, f), 'rb').read() for f in sorted(os.listdir(gold)) if f.endswith('.vlm')]
    work = tempfile.mkdtemp(prefix='velmora_fuzz_')
    env = dict(os.environ, VELMORA_SETTINGS=os.path.join(work, 'v.ini'),
               ASAN_OPTIONS='detect_leaks=0:allocator_may_return_null=1')
    deadline = time.time() + minutes * 60
    cases = failures = 0
    slowest = 0.0
    while time.time() < deadline:
        case = os.path.join(work, 'case.vlm')
        with open(case, 'wb') as f:
            f.write(mutate(rng, rng.choice(seeds)))
        for cmd in ([binary, 'params', case],
                    [binary, 'render', case, '-o', os.path.join(work, 'out.bmp'), '--size', '16x16']):
            problem, secs = run(cmd, env)
            slowest = max(slowest, secs)
            if problem:
                failures += 1
                os.rename(case, os.path.join(work, 'fail%d.vlm' % failures))
                print('%s: %s' % (problem, ' '.join(cmd[1:2])), flush=True)
                break
        cases += 1
    rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    print('%d cases, %d failures, slowest run %.1f s, largest resident set %d MB; folder %s'
          % (cases, failures, slowest, rss // 1024, work), flush=True)
    return 1 if failures else 0

if __name__ == '__main__':
    sys.exit(main())
