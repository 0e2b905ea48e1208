@echo off
rem Runs at every start, after the delay stored under
rem HKLM\SOFTWARE\OLM Controls\OLM_2_10_0_3639\OlmInit, value Wait.
rem Put the device's start-up commands here.
echo OlmInit.bat ran>\Temp\OlmInit.log
