// Lifecycle of the five media analyzers.
#pragma once

int Cda_Initialize();
void Cda_Terminate();
int Mp3_Initialize();
void Mp3_Terminate();
int Wmf_Initialize();
void Wmf_Terminate();
int Wav_Initialize();
void Wav_Terminate();
int Jpg_Initialize();
void Jpg_Terminate();
