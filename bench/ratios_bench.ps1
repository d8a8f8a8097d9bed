# The helper against its floors on Windows: the twin of bench/ratios_bench.sh
# (which measures under Wine), with the same three ratios and the same rows,
# each pair alternating run by run so that load from elsewhere on the machine
# falls on both sides alike. Every figure is min / median / max over the
# runs; a ratio is taken run by run (helper / peer of the same round).
#
#   1. clean-system on 11,000 files (1,000 directly in the system Temp, 200
#      folders of 50, 100 bytes each) against Remove-Item -Recurse of the
#      same tree (timed in this process, as the Linux script times rm -rf)
#      and against cmd /c rmdir /s /q;
#   2. startup-hklm-list on 1,000 Run values, 500 of them with a
#      StartupApproved state, against reg query of the Run key;
#   3. a request that does nothing (clean-system on empty targets) against
#      bench-empty.exe, an empty program built like the helper.
# For 1 and 2 it also prints the floor, bench-floor.exe (the system calls no
# program can do without), and for 3 the empty exe is the floor itself.
#
# Every Windows process is started and timed by bench/spawn-timer.exe, the
# one parent of all of them (the helper writes its response only for a live
# parent): each time runs from CreateProcessW to the exit.
#
# Usage (PowerShell 7, elevated, on a machine whose system Temp, Download
# folder and machine-wide Run keys may be changed, such as a CI runner):
#   pwsh -File bench/ratios_bench.ps1 [-Runs 20] [-CleanRuns 5] [-Build build/windows]
# TARNWICK_HELPER_EXE names another build of the helper. The Run and
# StartupApproved\Run keys are exported first and imported again at the end.
param([int]$Runs = 20, [int]$CleanRuns = 5, [string]$Build = 'build/windows')
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$PSNativeCommandArgumentPassing = 'Standard'

$root = Split-Path -Parent $PSScriptRoot
$buildDir = if ([IO.Path]::IsPathRooted($Build)) { $Build } else { Join-Path $root $Build }
$exe = if ($env:TARNWICK_HELPER_EXE) { $env:TARNWICK_HELPER_EXE } else { Join-Path $buildDir 'tarnwick-helper.exe' }
$timer = Join-Path $buildDir 'bench\spawn-timer.exe'
$emptyExe = Join-Path $buildDir 'bench\bench-empty.exe'
$floorExe = Join-Path $buildDir 'bench\bench-floor.exe'
foreach ($program in $exe, $timer, $emptyExe, $floorExe) {
  if (-not (Test-Path -LiteralPath $program -PathType Leaf)) { throw "no $program`: build the windows-native preset first" }
}
$runKey = 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
$approvedKey = 'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
$windows = [Environment]::GetFolderPath('Windows')
$systemTemp = Join-Path $windows 'Temp'
$systemDownload = Join-Path $windows 'SoftwareDistribution\Download'

$work = Join-Path $buildDir "ratios-bench.$PID"
New-Item -ItemType Directory -Path $work | Out-Null
$response = Join-Path $work 'response.json'
New-Item -ItemType File -Path $response | Out-Null

function Hex([string]$text) { -join ([Text.Encoding]::UTF8.GetBytes($text) | ForEach-Object { $_.ToString('x2') }) }
function HelperLine([string]$request) { "`"$exe`" $(Hex $request) `"$response`"" }
$cleanLine = HelperLine '{"action":{"action":"clean-system"}}'
$listLine = HelperLine '{"action":{"action":"startup-hklm-list"}}'

# Runs spawn-timer and gives its "index microseconds status" lines as
# objects; stops when a command exited with another status than 0.
function Timed([int]$times, [string[]]$lines) {
  $ErrorActionPreference = 'Continue'  # a native program's standard error is no error of this script
  $output = & $timer $times @lines 2>&1
  if ($LASTEXITCODE -ne 0) { throw "spawn-timer failed: $output" }
  $rows = foreach ($line in $output) {
    $fields = "$line".Trim() -split '\s+'
    if ($fields.Count -eq 3) { [pscustomobject]@{ Index = [int]$fields[0]; Us = [double]$fields[1]; Status = [int]$fields[2] } }
  }
  if ($rows | Where-Object Status -ne 0) { throw "a timed command failed: $output" }
  $rows
}
function ExpectResponse([string]$expected) {
  $got = if (Test-Path -LiteralPath $response) { Get-Content -Raw -LiteralPath $response } else { '' }
  if ($got -ne $expected) { throw "the helper answered $got, not $expected" }
}

# min / median / max of numbers, each divided by $scale.
function Stats([double[]]$values, [double]$scale) {
  $v = @($values | Sort-Object)
  $n = $v.Count
  $median = if ($n % 2) { $v[($n - 1) / 2] } else { ($v[$n / 2 - 1] + $v[$n / 2]) / 2 }
  '{0,9:F2} / {1,9:F2} / {2,9:F2}' -f ($v[0] / $scale), ($median / $scale), ($v[$n - 1] / $scale)
}
function Ratios([double[]]$a, [double[]]$b) { Stats @(for ($i = 0; $i -lt $a.Count; $i++) { $a[$i] / $b[$i] }) 1 }
function Row([string]$name, [string]$figures, [string]$tail) { ('  {0,-32} {1} {2}' -f $name, $figures, $tail).TrimEnd() }
function PairRows($rows, [string]$peer, [string]$goal) {
  $helper = @($rows | Where-Object Index -eq 1 | ForEach-Object Us)
  $other = @($rows | Where-Object Index -eq 2 | ForEach-Object Us)
  Row 'tarnwick-helper.exe' (Stats $helper 1000) 'ms'
  Row $peer (Stats $other 1000) 'ms'
  Row "ratio helper / $peer" (Ratios $helper $other) $goal
  , $other
}
# reg.exe with these arguments, its output dropped; gives its exit status.
function Reg {
  $ErrorActionPreference = 'Continue'
  & reg.exe @args 2>&1 | Out-Null
  $LASTEXITCODE
}
function Load { (Get-CimInstance Win32_Processor | Measure-Object -Property LoadPercentage -Average).Average }

$saved = @{}
foreach ($key in $runKey, $approvedKey) {
  $file = Join-Path $work ("saved-" + ($key -replace '[\\ ]', '_') + '.reg')
  if ((Reg export $key $file /y) -eq 0) { $saved[$key] = $file }
}
try {
  # What the helper can delete in the two folders now goes first, so that
  # each run's answer is exactly the tree's.
  Timed 1 @($cleanLine) | Out-Null
  Write-Output "CPU load before: $(Load) %"

  # 1. clean-system on a generated tree.
  $directFiles = 1000; $folders = 200; $filesPerFolder = 50; $fileBytes = 100
  $files = $directFiles + $folders * $filesPerFolder
  $template = Join-Path $work 'template'
  New-Item -ItemType Directory -Path $template | Out-Null
  $payload = [byte[]](@([byte][char]'x') * $fileBytes)
  for ($i = 1; $i -le $directFiles; $i++) { [IO.File]::WriteAllBytes((Join-Path $template "file$i.tmp"), $payload) }
  for ($d = 1; $d -le $folders; $d++) {
    $folder = New-Item -ItemType Directory -Path (Join-Path $template "folder$d")
    for ($i = 1; $i -le $filesPerFolder; $i++) { [IO.File]::WriteAllBytes((Join-Path $folder.FullName "file$i.tmp"), $payload) }
  }
  $cleanHelper = @(); $cleanRemove = @(); $cleanRmdir = @(); $cleanFloor = @()
  for ($run = 1; $run -le $CleanRuns; $run++) {
    Copy-Item -Path (Join-Path $template '*') -Destination $systemTemp -Recurse
    foreach ($copy in "rmdir-$run", "remove-$run", "floor-$run") { Copy-Item -Path $template -Destination (Join-Path $work $copy) -Recurse }
    $cleanHelper += (Timed 1 @($cleanLine)).Us
    ExpectResponse "{`"status`":`"ok`",`"data`":{`"removed_bytes`":$($files * $fileBytes)}}"
    $cleanRmdir += (Timed 1 @("cmd /c rmdir /s /q `"$(Join-Path $work "rmdir-$run")`"")).Us
    if (Test-Path -LiteralPath (Join-Path $work "rmdir-$run")) { throw 'rmdir /s /q left the tree' }
    $floorTree = Join-Path $work "floor-$run"
    $cleanFloor += (Timed 1 @("`"$floorExe`" delete `"$floorTree`"")).Us
    if (Get-ChildItem -Force -LiteralPath $floorTree) { throw 'bench-floor.exe left files' }
    $watch = [Diagnostics.Stopwatch]::StartNew()
    Remove-Item -LiteralPath (Join-Path $work "remove-$run") -Recurse -Force
    $cleanRemove += $watch.Elapsed.TotalMilliseconds * 1000
  }
  Write-Output "clean-system on $files files ($directFiles in Temp, $folders folders of $filesPerFolder), $CleanRuns runs, min / median / max:"
  Row 'tarnwick-helper.exe' (Stats $cleanHelper 1000) 'ms'
  Row 'Remove-Item -Recurse' (Stats $cleanRemove 1000) 'ms'
  Row 'cmd /c rmdir /s /q' (Stats $cleanRmdir 1000) 'ms'
  Row 'ratio helper / Remove-Item' (Ratios $cleanHelper $cleanRemove) ''
  Row 'ratio helper / rmdir' (Ratios $cleanHelper $cleanRmdir) ''
  Row 'floor (open, close per file)' (Stats $cleanFloor 1000) 'ms'
  Row 'ratio floor / Remove-Item' (Ratios $cleanFloor $cleanRemove) ''
  Row 'ratio floor / rmdir' (Ratios $cleanFloor $cleanRmdir) ''
  Row 'ratio helper / floor' (Ratios $cleanHelper $cleanFloor) ''

  # 2. startup-hklm-list on 1,000 Run values, every other one with a state.
  $values = 1000
  $reg = [Text.StringBuilder]::new()
  [void]$reg.Append("REGEDIT4`r`n`r`n[$($runKey -replace '^HKLM', 'HKEY_LOCAL_MACHINE')]`r`n")
  for ($i = 1; $i -le $values; $i++) {
    $n = $i.ToString('0000')
    [void]$reg.Append("`"Vendor App $n`"=`"\`"C:\\Program Files\\Vendor $n\\app.exe\`" /background`"`r`n")
  }
  [void]$reg.Append("`r`n[$($approvedKey -replace '^HKLM', 'HKEY_LOCAL_MACHINE')]`r`n")
  for ($i = 1; $i -le $values; $i += 2) {
    [void]$reg.Append("`"Vendor App $($i.ToString('0000'))`"=hex:03,00,00,00,00,00,00,00,00,00,00,00`r`n")
  }
  $valuesReg = Join-Path $work 'values.reg'
  [IO.File]::WriteAllText($valuesReg, $reg.ToString(), [Text.Encoding]::ASCII)
  foreach ($key in $runKey, $approvedKey) { Reg delete $key /f | Out-Null }
  if ((Reg import $valuesReg) -ne 0) { throw 'reg import of the benchmark values failed' }
  Timed 1 @($listLine) | Out-Null
  $listing = Get-Content -Raw -LiteralPath $response
  $listed = ([regex]::Matches($listing, '"scope":"hklm-run"')).Count
  $disabled = ([regex]::Matches($listing, '"enabled":false')).Count
  if ($listed -ne $values -or $disabled -ne $values / 2) { throw "the helper listed $listed of $values values ($disabled disabled)" }
  $rows = Timed $Runs @($listLine, "reg query `"$runKey`"", "`"$floorExe`" registry")
  Write-Output "startup-hklm-list on $values Run values ($($values / 2) with a StartupApproved state), $Runs runs:"
  $out = PairRows $rows 'reg query' ''
  $out[0..2]
  $regQuery = $out[3]
  $floor = @($rows | Where-Object Index -eq 3 | ForEach-Object Us)
  $helper = @($rows | Where-Object Index -eq 1 | ForEach-Object Us)
  Row 'floor (one call per value)' (Stats $floor 1000) 'ms'
  Row 'ratio floor / reg query' (Ratios $floor $regQuery) ''
  Row 'ratio helper / floor' (Ratios $helper $floor) ''

  # 3. the do-nothing request against the empty exe.
  Timed 1 @($cleanLine) | Out-Null
  ExpectResponse '{"status":"ok","data":{"removed_bytes":0}}'
  $rows = Timed $Runs @($cleanLine, "`"$emptyExe`"")
  ExpectResponse '{"status":"ok","data":{"removed_bytes":0}}'
  Write-Output "a request that does nothing (clean-system on empty targets), $Runs runs:"
  $out = PairRows $rows 'bench-empty.exe (floor)' ''
  $out[0..2]
  Write-Output "CPU load after: $(Load) %"
} finally {
  foreach ($key in $runKey, $approvedKey) {
    Reg delete $key /f | Out-Null
    if ($saved.ContainsKey($key)) { Reg import $saved[$key] | Out-Null }
  }
  Remove-Item -LiteralPath $work -Recurse -Force -ErrorAction SilentlyContinue
}
