# Lists the warnings Microsoft's compiler gave on our own sources, from the build's output: an
# annotation on each line and a table in the job's summary. Fetched sources (GoogleTest) and the
# SDK's headers are not ours and are left out.
#   pwsh .github/scripts/Show-Warnings.ps1 -Log <the output of cmake --build>
param([Parameter(Mandatory)][string]$Log)

$ErrorActionPreference = 'Stop'

if (-not (Test-Path -LiteralPath $Log)) {
	Write-Host "No build output at ${Log}: the build did not start."
	exit 0
}
$root = (Resolve-Path (Join-Path $PSScriptRoot '..' '..')).Path.TrimEnd('\') + '\'
# A parallel MSBuild puts the project's node number before each line: "12>D:\a\x.cpp(3,7): warning".
$pattern = '^\s*(\d+>)?\s*(?<file>[A-Za-z]:\\[^(]+)\((?<line>\d+)(,\d+)?\)\s*:\s*warning (?<code>[A-Z]+\d+)\s*:\s*(?<text>.*?)(\s+\[[^\]]*\])?$'
$found = [ordered]@{}
foreach ($entry in Get-Content -LiteralPath $Log) {
	if (-not ($entry -match $pattern)) { continue }
	$file = $Matches['file']
	if (-not $file.StartsWith($root, [StringComparison]::OrdinalIgnoreCase)) { continue }
	$relative = $file.Substring($root.Length).Replace('\', '/')
	if ($relative -match '^(build-[^/]*|\.deps)/') { continue }
	$key = "${relative}:$($Matches['line']):$($Matches['code'])"
	if (-not $found.Contains($key)) {
		$found[$key] = [pscustomobject]@{ File = $relative; Line = $Matches['line']; Code = $Matches['code']; Text = $Matches['text'] }
	}
}

$count = $found.Count
Write-Host "Microsoft's compiler: $count warning(s) in our sources"
foreach ($w in $found.Values) {
	# Workflow commands take %, CR and LF escaped.
	$text = $w.Text.Replace('%', '%25')
	Write-Host "::warning file=$($w.File),line=$($w.Line),title=$($w.Code)::$text"
}
if ($env:GITHUB_STEP_SUMMARY) {
	$lines = @("### Microsoft's compiler: $count warning(s) in our sources", '')
	if ($count -gt 0) {
		$lines += @('They do not stop the build yet (CLACKERY_WARNINGS_AS_ERRORS is off for MSVC).', '',
			'| File | Line | Warning | |', '|---|---|---|---|')
		foreach ($w in $found.Values) { $lines += "| $($w.File) | $($w.Line) | $($w.Code) | $($w.Text.Replace('|', '\|')) |" }
	}
	$lines | Add-Content -Encoding utf8 $env:GITHUB_STEP_SUMMARY
}
