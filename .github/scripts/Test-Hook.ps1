# Runs the tests of the real keyboard hook (CTest label "interactive_desktop"). SendInput's keys
# reach the hook only on the interactive desktop; without one the tests skip themselves, saying
# why, and this script says so plainly in the log and the job's summary instead of passing quietly.
#   pwsh .github/scripts/Test-Hook.ps1 [-Preset windows-x64]
param([string]$Preset = 'windows-x64')

$ErrorActionPreference = 'Stop'
# The exit code is looked at below, after the output has been read.
$PSNativeCommandUseErrorActionPreference = $false

$output = @(ctest --preset $Preset -L interactive_desktop --no-tests=error --verbose 2>&1 | ForEach-Object { "$_" })
$code = $LASTEXITCODE
$output | ForEach-Object { Write-Host $_ }
if ($code -ne 0) { throw "the hook tests failed (ctest exit code $code)" }

$reasons = @($output | Select-String -Pattern 'no interactive desktop: (.+)$' |
	ForEach-Object { $_.Matches[0].Groups[1].Value.Trim() } | Sort-Object -Unique)
if ($reasons.Count -gt 0) {
	$message = "The keyboard hook was not tested: no interactive desktop ($($reasons -join '; '))"
	Write-Host "::warning title=Hook tests skipped::$message"
	$summary = "### Keyboard hook: NOT TESTED`n`n$message."
} else {
	$summary = '### Keyboard hook: tested on the interactive desktop (SendInput to the real low-level hook)'
}
if ($env:GITHUB_STEP_SUMMARY) { $summary | Add-Content -Encoding utf8 $env:GITHUB_STEP_SUMMARY }
