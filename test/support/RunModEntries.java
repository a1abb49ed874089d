// Starts a Fabric mod's main and client entry points (class names as arguments) as the loader
// would, in the current folder, with the loader's interfaces on the class path.
public class RunModEntries {
    public static void main(String[] args) throws Exception {
        ((net.fabricmc.api.ModInitializer) Class.forName(args[0]).getDeclaredConstructor().newInstance()).onInitialize();
        ((net.fabricmc.api.ClientModInitializer) Class.forName(args[1]).getDeclaredConstructor().newInstance())
                .onInitializeClient();
    }
}
