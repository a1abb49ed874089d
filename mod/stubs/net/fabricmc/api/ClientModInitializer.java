package net.fabricmc.api;

/** Compile-time declaration of the loader's client entry point; the loader brings the real one. */
public interface ClientModInitializer {
    void onInitializeClient();
}
