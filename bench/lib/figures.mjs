// What the host benchmarks share: order statistics of timings and a process's (or one
// thread's) CPU time from /proc.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';

const CLK_TCK = Number(execFileSync('getconf', ['CLK_TCK']).toString().trim());

// The nearest-rank percentile of already sorted values.
export function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}

export function summary(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return { median: percentile(sorted, 50), p99: percentile(sorted, 99), max: sorted[sorted.length - 1] };
}

// User plus system CPU seconds from a /proc stat file (of a process or of one of its tasks).
export function cpuSecondsOf(statPath) {
  const stat = fs.readFileSync(statPath, 'utf8');
  // After the command's closing parenthesis: utime and stime are the 12th and 13th fields.
  const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
  return (Number(fields[11]) + Number(fields[12])) / CLK_TCK;
}

export const cpuSeconds = (pid) => cpuSecondsOf(`/proc/${pid}/stat`);

// The CPU seconds of the thread named `name` in process `pid`, with its id; null when none is.
export function threadCpuSeconds(pid, name) {
  for (const tid of fs.readdirSync(`/proc/${pid}/task`)) {
    if (fs.readFileSync(`/proc/${pid}/task/${tid}/comm`, 'utf8').trim() === name)
      return { tid, seconds: cpuSecondsOf(`/proc/${pid}/task/${tid}/stat`) };
  }
  return null;
}
