<#
.SYNOPSIS
    Intune remediation (detection script): are this machine's file-extension
    associations broken?

.DESCRIPTION
    Runs quelvo-scan.exe --format json and answers as Intune expects:
      exit 0  compliant: no extension key to repair;
      exit 1  not compliant: registry problems that the remediation script
              repairs, or the machine could not be checked completely (the
              output line says why; the remediation then refuses too).
    Extensions that only need an application installed are counted in the
    output but make the machine non-compliant only when
    $CountMissingApplications is $true: no script can install those.
    The last line written is what Intune shows as the detection output.

    Run as SYSTEM in 64-bit PowerShell ("Run script in 64-bit PowerShell":
    Yes), so that quelvo-scan.exe runs elevated; without elevation it
    reports the machine as not checked (exit status 3), never as clean.
#>

$QuelvoScan = Join-Path $env:ProgramFiles 'Quelvo\quelvo-scan.exe'
$CountMissingApplications = $false

if (-not (Test-Path -LiteralPath $QuelvoScan -PathType Leaf)) {
    Write-Output "quelvo-scan.exe is not installed at $QuelvoScan"
    exit 1
}

$output = & $QuelvoScan --format json 2>&1
$status = $LASTEXITCODE
$json = ($output | Where-Object { $_ -is [string] -and $_.StartsWith('{') }) -join ''

switch ($status) {
    0 { Write-Output 'Compliant: no problems detected'; exit 0 }
    { $_ -in 1, 3 } {
        try { $report = $json | ConvertFrom-Json } catch { $report = $null }
        if ($null -eq $report) {
            Write-Output "quelvo-scan.exe exit status ${status}: no report ($($output -join ' '))"
            exit 1
        }
        if ($report.target.state -ne 'complete') {
            Write-Output "Not checked completely ($($report.target.state)): $($report.target.reason)"
            exit 1
        }
        $c = $report.counts
        $line = "$($c.problems) problem(s): $($c.registryProblems) in the registry, $($c.needsApplication) needing an application"
        if ($c.registryProblems -gt 0 -or ($CountMissingApplications -and $c.needsApplication -gt 0)) {
            Write-Output "Not compliant: $line"
            exit 1
        }
        Write-Output "Compliant: $line"
        exit 0
    }
    default {
        Write-Output "quelvo-scan.exe failed (exit status $status): $($output -join ' ')"
        exit 1
    }
}
